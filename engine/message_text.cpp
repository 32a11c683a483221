#include "engine/message_text.h"

namespace fb {
namespace {

constexpr char kHex[] = "0123456789abcdef";

void appendEscaped(std::string& out, unsigned char byte) {
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 15];
}

}  // namespace

std::string quotedToken(std::string_view text, std::size_t limit) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == limit) {
      out += "...";
      break;
    }
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
      out += static_cast<char>(byte);
    } else {
      appendEscaped(out, byte);
    }
  }
  return out + "\"";
}

std::string printableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F)
      appendEscaped(out, byte);
    else
      out += c;
  }
  return out;
}

}  // namespace fb
