#include "platform/core/encoding.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace plat {
namespace {

// Converts `in` from one encoding to another. On an invalid or unconvertible sequence either
// gives up (strict) or writes `replacement` and skips one input byte (or one UTF-8 character).
bool Convert(const char* to, const char* from, std::string_view in, std::string& out, bool strict,
             std::string_view replacement, bool from_utf8) {
  out.clear();
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::vector<char> buf(in.size() * 4 + 16);
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  bool ok = true;
  while (src_left > 0) {
    char* dst = buf.data();
    size_t dst_left = buf.size();
    size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(buf.data(), dst - buf.data());
    if (r != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: a sequence that cannot be converted, or one cut short at the end.
    ok = false;
    if (strict) break;
    out.append(replacement);
    size_t skip = 1;
    if (from_utf8) {
      unsigned char c = static_cast<unsigned char>(*src);
      skip = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
      if (skip > src_left) skip = src_left;
    }
    src += skip;
    src_left -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return ok;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
  std::string out;
  Convert("UTF-8", "CP932", cp932, out, false, "\xEF\xBF\xBD", false);
  return out;
}

std::string Utf8ToCp932(std::string_view utf8) {
  std::string out;
  Convert("CP932", "UTF-8", utf8, out, false, "?", true);
  return out;
}

bool TryCp932ToUtf8(std::string_view cp932, std::string& out) {
  return Convert("UTF-8", "CP932", cp932, out, true, "", false);
}

bool TryUtf8ToCp932(std::string_view utf8, std::string& out) {
  return Convert("CP932", "UTF-8", utf8, out, true, "", true);
}

}  // namespace plat
