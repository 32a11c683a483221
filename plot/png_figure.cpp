#include "plot/png_figure.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <system_error>

#include "output/text_file.h"
#include "plot/png_module.h"

// This program's own ELF header, which the linker places at the start of its image.
extern "C" const ElfW(Ehdr) __ehdr_start;

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

std::string bits(unsigned char elfClass) {
  return elfClass == ELFCLASS32 ? "32-bit" : elfClass == ELFCLASS64 ? "64-bit" : "unknown-class";
}

// Why the file cannot be this program's module, found before the loader maps
// it: a cut-off or foreign file would crash the process inside the loader
// (a mapped page beyond the file's end is a bus error), not give a reason.
[[nodiscard]] Expected<void> checkModuleFile(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return unexpected(std::strerror(errno));
  if (!S_ISREG(status.st_mode)) return unexpected("it is not a regular file");
  const auto size = static_cast<std::uint64_t>(status.st_size);
  const auto readAt = [fd](void* into, std::size_t bytes, std::uint64_t offset) {
    return ::pread(fd, into, bytes, static_cast<off_t>(offset)) == static_cast<ssize_t>(bytes);
  };

  const ElfW(Ehdr)& self = __ehdr_start;
  ElfW(Ehdr) header{};
  const std::size_t headerBytes = static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeof header));
  if (!readAt(&header, headerBytes, 0)) return unexpected(std::strerror(errno != 0 ? errno : EIO));
  if (headerBytes < SELFMAG || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0)
    return unexpected("it is not an ELF shared library");
  // A 32-bit header is shorter: its class is told before its length is judged.
  if (headerBytes > EI_CLASS && header.e_ident[EI_CLASS] != self.e_ident[EI_CLASS])
    return unexpected("it is a " + bits(header.e_ident[EI_CLASS]) + " library; this program is " +
                      bits(self.e_ident[EI_CLASS]));
  const auto cutShort = [size](std::uint64_t needed) {
    return unexpected("it is cut short: " + std::to_string(size) + " bytes where its headers declare " +
                      std::to_string(needed));
  };
  if (headerBytes < sizeof header) return cutShort(sizeof header);
  if (header.e_ident[EI_DATA] != self.e_ident[EI_DATA]) return unexpected("its byte order is not this machine's");
  if (header.e_machine != self.e_machine)
    return unexpected("it is built for another machine (ELF machine " + std::to_string(header.e_machine) +
                      ", this program's " + std::to_string(self.e_machine) + ")");
  if (header.e_type != ET_DYN)
    return unexpected("it is not a shared library (ELF type " + std::to_string(header.e_type) + ")");
  if (header.e_phentsize != sizeof(ElfW(Phdr)) || header.e_phnum == 0)
    return unexpected("its program headers are damaged");

  // Every table and loaded segment the headers declare must lie inside the file.
  std::uint64_t needed = sizeof header;
  const auto extent = [&needed](std::uint64_t offset, std::uint64_t bytes) {
    std::uint64_t end = 0;
    if (__builtin_add_overflow(offset, bytes, &end)) end = UINT64_MAX;
    needed = std::max(needed, end);
  };
  extent(header.e_phoff, std::uint64_t{header.e_phnum} * header.e_phentsize);
  if (header.e_shoff != 0)
    extent(header.e_shoff, std::uint64_t{std::max<ElfW(Half)>(header.e_shnum, 1)} * header.e_shentsize);
  if (needed > size) return cutShort(needed);
  std::vector<ElfW(Phdr)> segments(header.e_phnum);
  if (!readAt(segments.data(), segments.size() * sizeof(ElfW(Phdr)), header.e_phoff)) return cutShort(needed);
  for (const ElfW(Phdr) & segment : segments)
    if (segment.p_type == PT_LOAD) extent(segment.p_offset, segment.p_filesz);
  if (needed > size) return cutShort(needed);
  return {};
}

// The module's encoder, or why there is none.
[[nodiscard]] Expected<FbPngEncode> loadModule() {
  const std::vector<std::string> candidates = pngModuleCandidates();
  std::string looked;
  for (const std::string& path : candidates) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
      looked += (looked.empty() ? "" : ", ") + path;
      continue;
    }
    // Not blocking: a pipe put in the module's place would hold the program at its opening.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    const Expected<void> usable = fd < 0 ? Expected<void>(unexpected(std::strerror(errno))) : checkModuleFile(fd);
    if (fd >= 0) ::close(fd);
    if (!usable) return unexpected("the PNG module " + path + " cannot be loaded (" + usable.error() + ")");
    // Kept open for the rest of the process: the toolkit does not unload cleanly.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      std::string why = ::dlerror();
      if (why.rfind(path + ": ", 0) == 0) why.erase(0, path.size() + 2);  // it names the file too
      return unexpected("the PNG module " + path + " cannot be loaded (" + why + ")");
    }
    void* entry = ::dlsym(handle, kPngEntryPoint);
    if (!entry)
      return unexpected("the PNG module " + path + " is not one of this version (it lacks " + kPngEntryPoint + ")");
    return reinterpret_cast<FbPngEncode>(entry);
  }
  return unexpected("PNG needs the module " + std::string(kPngModuleFile) + ", which is not installed (looked for " +
                    (looked.empty() ? std::string("it nowhere") : looked) + ")");
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

Expected<void> writePngFile(const std::string& path, FigureSize size, const figure_parts::DrawOn& draw) {
  static const Expected<FbPngEncode> encode = loadModule();
  if (!encode) return unexpected(path + ": " + encode.error() + "; name an .svg file instead");

  PixelCanvas canvas(size.width, size.height);
  draw(canvas);
  char reason[512] = "";
  unsigned char* data = nullptr;
  std::size_t bytes = 0;
  if ((*encode)(size.width, size.height, canvas.primitives().data(), canvas.primitives().size(), &data, &bytes, reason,
                sizeof reason) != 0)
    return unexpected(path + ": " + reason);
  // Written as every result file is: whole or not at all, never through a planted name.
  const std::unique_ptr<unsigned char, decltype(&std::free)> owned(data, &std::free);
  return writeTextFile(path, std::string_view(reinterpret_cast<const char*>(data), bytes));
}

}  // namespace fb
