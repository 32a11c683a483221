#include <gtest/gtest.h>

#include "engine/inputs.h"

namespace {

using fb::Field;

struct RefusalCase {
  Field field;
  const char* text;
  const char* refusedField;
};

TEST(ParameterSet, refuses_inputs_the_model_cannot_use_naming_the_field) {
  const RefusalCase cases[] = {
      {Field::Af, "0", "Af"},
      {Field::Am, "0", "Am"},
      {Field::Vf, "0", "Vf"},
      {Field::Vf, "1.5", "Vf"},           // more fiber than section
      {Field::Am, "3.4028235e38", "Am"},  // fiber count beyond single precision, and the input that makes it so
      {Field::Af, "1e-45", "Af"},
      {Field::Am, "-2500", "Am"},  // negative counts, positive stress from negative force
      {Field::Af, "-0.007854", "Af"},
      {Field::Vf, "-0.02", "Vf"},
      {Field::division, "0", "division"},
      {Field::division, "0.4", "division"},
      {Field::division, "16384", "division"},
      {Field::division, "-16385", "division"},
      {Field::division, "40000", "division"},
      {Field::kxy, "0", "kxy"},
      {Field::kzx, "-1", "kzx"},
      {Field::Lf, "0", "Lf"},
      {Field::Lf, "-12", "Lf"},
      {Field::fp0, "1e39", "fp0"},  // beyond single precision
      {Field::B, "1e400", "B"},
      {Field::C, "1e308", "C/D"},  // the knee width overflows
  };
  for (const RefusalCase& c : cases) {
    fb::FieldTexts t = fb::FieldTexts::defaults();
    t[c.field] = c.text;
    const fb::ReadOutcome read = fb::readParameterSet(t);
    std::optional<fb::Refusal> refusal = read.refusal;
    if (const auto usable = fb::checkRunInputs(read.params, fb::deriveValues(read.params)); !refusal && !usable)
      refusal = usable.error();
    ASSERT_TRUE(refusal) << c.text;
    EXPECT_EQ(refusal->field, c.refusedField) << c.text;
    EXPECT_EQ(refusal->message.rfind(c.refusedField, 0), 0u) << refusal->message;
  }
}

TEST(ParameterSet, accepts_the_limits_themselves) {
  for (const auto& [field, text] :
       {std::pair{Field::Vf, "1"}, {Field::division, "16383"}, {Field::division, "-16384"}}) {
    fb::FieldTexts t = fb::FieldTexts::defaults();
    t[field] = text;
    const fb::ReadOutcome read = fb::readParameterSet(t);
    EXPECT_TRUE(fb::checkInputs(t, read, fb::deriveValues(read.params))) << text;
  }
}

TEST(ParameterSet, refusal_message_reads_as_field_meaning_and_reason_and_says_when_a_text_is_no_number) {
  const struct {
    Field field;
    const char *text, *message;
  } cases[] = {
      {Field::Af, "0", "Af (fiber sectional area) must be positive"},
      {Field::kxy, " nan ", "kxy: \" nan \" reads as 0; kxy (orientation intensity x-y) must be positive"},
      {Field::Lf, "\x1b[31m", "Lf: \"\\x1b[31m\" reads as 0; Lf (fiber length) must be positive"},
      {Field::Am, "", "Am (matrix sectional area) must be positive"},  // an empty box is plain 0
      {Field::Vf, "1e30", "Vf (fiber volume fraction) must not exceed 1"},
  };
  for (const auto& c : cases) {
    fb::FieldTexts t = fb::FieldTexts::defaults();
    t[c.field] = c.text;
    const fb::ReadOutcome read = fb::readParameterSet(t);
    const auto usable = fb::checkInputs(t, read, fb::deriveValues(read.params));
    ASSERT_FALSE(usable) << c.text;
    EXPECT_EQ(usable.error().message, c.message);
  }
}

struct SnubbingCase {
  const char *Lf, *fp0, *fp1;
  bool reset;
};

TEST(LoadSnubbingCheck, resets_only_a_coefficient_below_zero_at_half_the_fiber_length) {
  const SnubbingCase cases[] = {
      {"12", "0.5", "-0.1", true},                                   // 0.5 - 0.6 < 0
      {"12", "0.5", "-0.05", false},                                 // 0.2
      {"16", "0.5", "-0.0625", false},                               // exactly 0
      {"16", "0.5", "-0.1", true},     {"12", "0.5", "abc", false},  // letters read as 0
      {"12", "0.5", "", false},        {"12", "-0.5", "0", true},
  };
  for (const SnubbingCase& c : cases)
    EXPECT_EQ(fb::checkLoadSnubbing(c.Lf, c.fp0, c.fp1), c.reset) << c.Lf << ' ' << c.fp0 << ' ' << c.fp1;
}

}  // namespace
