#include "tools/pack_names.h"

#include <fnmatch.h>

#include <cstring>

#include "payload/archive_format.h"

namespace {

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// CON, PRN, AUX, NUL, COM1-COM9 and LPT1-LPT9 name devices whatever extension follows, and
// Windows ignores blanks before the extension when it decides that.
bool IsDeviceName(const std::string& name) {
  std::string stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem) c = AsciiUpper(c);
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
  if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
      stem[3] >= '1' && stem[3] <= '9') {
    return true;
  }
  return false;
}

}  // namespace

bool CheckNameComponent(const std::string& name, std::string* why) {
  if (name.empty()) {
    *why = "empty name";
    return false;
  }
  if (name == "." || name == "..") {
    *why = "\"" + name + "\" would leave the target directory";
    return false;
  }
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      *why = "control character in name";
      return false;
    }
    if (std::strchr(":\\<>\"|?*/", c) != nullptr) {
      *why = std::string("character '") + c + "' is not allowed in a name";
      return false;
    }
  }
  if (name.back() == '.' || name.back() == ' ') {
    *why = "name ends in a dot or blank, which Windows drops";
    return false;
  }
  if (IsDeviceName(name)) {
    *why = "reserved device name";
    return false;
  }
  return true;
}

bool CheckDirectoryPath(const std::string& path, std::string* why) {
  if (path.empty()) return true;
  size_t start = 0;
  for (;;) {
    size_t end = path.find('\\', start);
    std::string component = path.substr(start, end == std::string::npos ? end : end - start);
    if (!CheckNameComponent(component, why)) return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

bool CheckFileEntryName(const std::string& name, std::string* why) {
  if (name.size() > archive::kMaxNameLength) {
    *why = "name longer than " + std::to_string(archive::kMaxNameLength) + " characters";
    return false;
  }
  return CheckNameComponent(name, why);
}

bool CheckDirectoryEntryPath(const std::string& path, std::string* why) {
  if (1 + path.size() > archive::kMaxNameLength) {
    *why = "its directory entry would be longer than " + std::to_string(archive::kMaxNameLength) +
           " characters";
    return false;
  }
  return CheckDirectoryPath(path, why);
}

bool HasNonAsciiBytes(const std::string& name) {
  for (char c : name)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

std::string PrintableName(const std::string& name) {
  std::string out;
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    out += (u < 0x20 || u == 0x7F) ? '?' : c;
  }
  return out;
}

bool MatchGlob(const std::string& pattern, const std::string& text) {
  return fnmatch(pattern.c_str(), text.c_str(), 0) == 0;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}
