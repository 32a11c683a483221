#include "plot/png_figure.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <system_error>

#include "plot/png_module.h"
#include "study/text_files.h"

namespace fb {
namespace {

// Keeps the figure's primitives in pixels, for the painter module.
class PixelCanvas : public Canvas {
 public:
  PixelCanvas(int width, int height) : width_(width), height_(height) {}
  const std::vector<FbPngPrimitive>& primitives() const { return primitives_; }

 protected:
  void drawClear() override { add(FB_PNG_CLEAR, 0, 0, 0, 0, {}); }
  void drawPoint(float x, float y, Rgb colour) override { add(FB_PNG_POINT, x, y, x, y, colour); }
  void drawLine(float x1, float y1, float x2, float y2, Rgb colour) override {
    add(FB_PNG_LINE, x1, y1, x2, y2, colour);
  }
  void drawText(float x, float y, std::string_view utf8, Rgb colour, float anchor) override {
    FbPngPrimitive& p = add(FB_PNG_TEXT, x, y, x, y, colour);
    p.anchor = anchor;
    p.text = texts_.emplace_back(utf8).data();  // a deque never moves its strings
    p.textSize = utf8.size();
  }

 private:
  FbPngPrimitive& add(int kind, float x1, float y1, float x2, float y2, Rgb c) {
    return primitives_.emplace_back(FbPngPrimitive{kind, fractionX(x1) * width_, fractionY(y1) * height_,
                                                   fractionX(x2) * width_, fractionY(y2) * height_, c.r, c.g, c.b, 0.0f,
                                                   nullptr, 0});
  }

  int width_, height_;
  std::vector<FbPngPrimitive> primitives_;
  std::deque<std::string> texts_;
};

std::string executableDir() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.parent_path().string();
}

// Whether `dir` lies inside the build tree; only a program there may load
// the module the build made, never an installed one.
bool insideBuildTree(const std::string& dir) {
  const std::string root = FIBERBRIDGE_BUILD_DIR;
  return dir.compare(0, root.size(), root) == 0 && (dir.size() == root.size() || dir[root.size()] == '/');
}

struct LoadedModule {
  FbPngEncode encode = nullptr;
  std::string error;  // why there is none
};

LoadedModule loadModule() {
  const std::vector<std::string> candidates = pngModuleCandidates();
  std::string looked;
  for (const std::string& path : candidates) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
      looked += (looked.empty() ? "" : ", ") + path;
      continue;
    }
    // Kept open for the rest of the process: the toolkit does not unload cleanly.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      std::string why = ::dlerror();
      if (why.rfind(path + ": ", 0) == 0) why.erase(0, path.size() + 2);  // it names the file too
      return {nullptr, "the PNG module " + path + " cannot be loaded (" + why + ")"};
    }
    void* entry = ::dlsym(handle, kPngEntryPoint);
    if (!entry)
      return {nullptr, "the PNG module " + path + " is not one of this version (it lacks " + kPngEntryPoint + ")"};
    return {reinterpret_cast<FbPngEncode>(entry), {}};
  }
  return {nullptr, "PNG needs the module " + std::string(kPngModuleFile) + ", which is not installed (looked for " +
                       (looked.empty() ? std::string("it nowhere") : looked) + ")"};
}

}  // namespace

std::vector<std::string> pngModuleCandidates() {
  std::vector<std::string> paths;
  const std::string dir = executableDir();
  if (dir.empty()) return paths;
  paths.push_back(
      (std::filesystem::path(dir) / FIBERBRIDGE_PNG_MODULE_RELDIR / kPngModuleFile).lexically_normal().string());
  if (insideBuildTree(dir)) paths.push_back(FIBERBRIDGE_PNG_MODULE_BUILD_PATH);
  return paths;
}

std::optional<std::string> writePngFile(const std::string& path, FigureSize size, const figure_parts::DrawOn& draw) {
  static const LoadedModule module = loadModule();
  if (!module.encode) return path + ": " + module.error + "; name an .svg file instead";

  PixelCanvas canvas(size.width, size.height);
  draw(canvas);
  char reason[512] = "";
  unsigned char* data = nullptr;
  std::size_t bytes = 0;
  if (module.encode(size.width, size.height, canvas.primitives().data(), canvas.primitives().size(), &data, &bytes,
                    reason, sizeof reason) != 0)
    return path + ": " + reason;
  // Written as every result file is: whole or not at all, never through a planted name.
  const std::unique_ptr<unsigned char, decltype(&std::free)> owned(data, &std::free);
  return writeTextFile(path, std::string_view(reinterpret_cast<const char*>(data), bytes));
}

}  // namespace fb
