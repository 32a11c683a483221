#include "ui/form1_layout.h"

namespace fb {
namespace {

// Back to front: the panels first, then the graphs, then what lies on them.
const ControlPlace kLayout[] = {
    {"Shape4", ControlKind::shape, "", 240, 1080, 2415, 1815},
    {"Shape3", ControlKind::shape, "", 240, 3120, 2415, 5535},
    {"Shape1", ControlKind::shape, "", 240, 8880, 2415, 1575},
    {"Shape2", ControlKind::shape, "", 2760, 1080, 6255, 2535},
    {"Picture2", ControlKind::picture, "", 2760, 3960, 6135, 2415},
    {"Picture1", ControlKind::picture, "", 2760, 6720, 6135, 4095},

    {"Command2", ControlKind::button, "Data File Name", 240, 240, 1575, 375},
    {"Command1", ControlKind::button, "Start", 1920, 240, 1575, 375},
    {"Text1", ControlKind::status, "", 3600, 240, 3615, 375},
    {"Command4", ControlKind::button, "Exit", 7320, 240, 1575, 375},
    {"Label14", ControlKind::inputLabel, "Data file", 240, 720, 1575, 255},
    {"Text2", ControlKind::dataFileBox, "", 1800, 720, 7215, 255},

    {"Label5", ControlKind::groupTitle, "Matrix", 360, 1200, 2175, 255},
    {"Label4", ControlKind::inputLabel, "Sectional area (mm2)", 360, 1440, 2175, 255},
    {"Text3", ControlKind::textBox, "", 360, 1680, 2175, 285},
    {"Label20", ControlKind::inputLabel, "Crack angle (0-90deg)", 360, 2040, 2175, 255},
    {"Label30", ControlKind::inputLabel, "x-y", 360, 2280, 1095, 255},
    {"Label31", ControlKind::inputLabel, "z-x", 1440, 2280, 1095, 255},
    {"Text25", ControlKind::textBox, "", 360, 2520, 1095, 285},
    {"Text26", ControlKind::textBox, "", 1440, 2520, 1095, 285},

    {"Label6", ControlKind::groupTitle, "Fiber", 360, 3240, 2175, 255},
    {"Label8", ControlKind::inputLabel, "Volume fraction", 360, 3480, 2175, 255},
    {"Text4", ControlKind::textBox, "", 360, 3720, 2175, 285},
    {"Label7", ControlKind::inputLabel, "Sectional area (mm2)", 360, 4080, 2175, 255},
    {"Text5", ControlKind::textBox, "", 360, 4320, 2175, 285},
    {"Label9", ControlKind::inputLabel, "Length (mm)", 360, 4680, 2175, 255},
    {"Text6", ControlKind::textBox, "", 360, 4920, 2175, 285},
    {"Label1", ControlKind::inputLabel, "Snubbing coefficient", 360, 5400, 2175, 255},
    {"Label33", ControlKind::inputLabel, "for pullout load", 360, 5640, 2175, 255},
    {"Label2", ControlKind::inputLabel, "fp0", 360, 5880, 1095, 255},
    {"Label29", ControlKind::inputLabel, "+fp1(*lb)", 1440, 5880, 1095, 255},
    {"Text7", ControlKind::textBox, "", 360, 6120, 1095, 285},
    {"Text24", ControlKind::textBox, "", 1440, 6120, 1095, 285},
    {"Label34", ControlKind::inputLabel, "for displacement", 360, 6480, 2175, 255},
    {"Label35", ControlKind::inputLabel, "fd0", 360, 6720, 1095, 255},
    {"Label36", ControlKind::inputLabel, "+fd1(*lb)", 1440, 6720, 1095, 255},
    {"Text27", ControlKind::textBox, "", 360, 6960, 1095, 285},
    {"Text28", ControlKind::textBox, "", 1440, 6960, 1095, 285},
    {"Label28", ControlKind::inputLabel, "Strength reduction", 360, 7440, 2175, 255},
    {"Text8", ControlKind::textBox, "", 360, 7680, 2175, 285},
    {"Label3", ControlKind::inputLabel, "Rupture strength (MPa)", 360, 8040, 2175, 255},
    {"Text9", ControlKind::textBox, "", 360, 8280, 2175, 285},

    {"Label10", ControlKind::groupTitle, "Fiber orientation", 360, 9000, 2175, 255},
    {"Label11", ControlKind::inputLabel, "kxy", 360, 9240, 1095, 255},
    {"Label13", ControlKind::inputLabel, "θr,xy(deg)", 1440, 9240, 1095, 255},
    {"Text10", ControlKind::textBox, "", 360, 9480, 1095, 285},
    {"Text11", ControlKind::textBox, "", 1440, 9480, 1095, 285},
    {"Label15", ControlKind::inputLabel, "kzx", 360, 9840, 1095, 255},
    {"Label16", ControlKind::inputLabel, "θr,zx(deg)", 1440, 9840, 1095, 255},
    {"Text12", ControlKind::textBox, "", 360, 10080, 1095, 285},
    {"Text13", ControlKind::textBox, "", 1440, 10080, 1095, 285},
    {"Label24", ControlKind::inputLabel, "Division", 360, 10560, 1095, 255},
    {"Text20", ControlKind::textBox, "", 1440, 10560, 1095, 285},

    {"Label12", ControlKind::groupTitle, "Tri-linear bridging model", 2880, 1200, 3615, 255},
    {"Label32", ControlKind::legend, " P: (N),", 2880, 1440, 3615, 255},
    {"Label19", ControlKind::legend, "δ: (mm)", 2880, 1680, 3615, 1815},
    {"Image1", ControlKind::image, "", 2880, 1920, 1500, 1500},
    {"Image2", ControlKind::image, "", 4560, 1440, 1875, 1950},
    {"Label37", ControlKind::inputLabel, "Aa", 6600, 1200, 1095, 255},
    {"Label38", ControlKind::inputLabel, "Ba", 7800, 1200, 1095, 255},
    {"Text29", ControlKind::textBox, "", 6600, 1440, 1095, 285},
    {"Text30", ControlKind::textBox, "", 7800, 1440, 1095, 285},
    {"Label39", ControlKind::inputLabel, "Ca", 6600, 1800, 1095, 255},
    {"Label40", ControlKind::inputLabel, "Da", 7800, 1800, 1095, 255},
    {"Text31", ControlKind::textBox, "", 6600, 2040, 1095, 285},
    {"Text32", ControlKind::textBox, "", 7800, 2040, 1095, 285},
    {"Label17", ControlKind::inputLabel, "A", 6600, 2400, 1095, 255},
    {"Label18", ControlKind::inputLabel, "B", 7800, 2400, 1095, 255},
    {"Text14", ControlKind::textBox, "", 6600, 2640, 1095, 285},
    {"Text15", ControlKind::textBox, "", 7800, 2640, 1095, 285},
    {"Label21", ControlKind::inputLabel, "C", 6600, 3000, 1095, 255},
    {"Label23", ControlKind::inputLabel, "D", 7800, 3000, 1095, 255},
    {"Text16", ControlKind::textBox, "", 6600, 3240, 1095, 285},
    {"Text17", ControlKind::textBox, "", 7800, 3240, 1095, 285},

    {"Label25", ControlKind::ratioTitle, "Fiber effectiveness", 6360, 3720, 2535, 255},
    {"Text21", ControlKind::resultField, "", 6360, 3960, 2535, 285},
    {"Label26", ControlKind::stressTitle, "Pmax (kN)", 6360, 6480, 1215, 255},
    {"Label27", ControlKind::stressTitle, "σmax (MPa)", 7680, 6480, 1215, 255},
    {"Text18", ControlKind::resultField, "", 6360, 6720, 1215, 285},
    {"Text19", ControlKind::resultField, "", 7680, 6720, 1215, 285},
    {"Text22", ControlKind::plainResult, "", 5880, 7080, 2895, 285},
    {"Text23", ControlKind::plainResult, "", 5880, 7320, 2895, 285},

    {"Label22", ControlKind::footer, "", 240, 10920, 8655, 255},
};

const char* const kKeyboardOrder[] = {
    "Command2", "Command1", "Command4", "Text2",  "Text3",  "Text25", "Text4",  "Text5",  "Text6",  "Text7",  "Text24",
    "Text27",   "Text28",   "Text8",    "Text9",  "Text10", "Text11", "Text12", "Text13", "Text29", "Text30", "Text31",
    "Text32",   "Text14",   "Text15",   "Text16", "Text17", "Text20", "Text18", "Text19", "Text21", "Text26",
};

}  // namespace

std::span<const ControlPlace> form1Layout() { return kLayout; }

std::span<const char* const> form1KeyboardOrder() { return kKeyboardOrder; }

}  // namespace fb
