#include "output/font_list.h"

#include <QFontDatabase>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cctype>
#include <set>

namespace tavelo {

namespace {

std::string Lower(const std::string& text) {
  std::string out;
  for (char c : text) out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// "DejaVu Sans [Bitstream]" -> "DejaVu Sans".
std::string WithoutFoundry(const std::string& family) {
  if (family.size() > 3 && family.back() == ']') {
    const size_t open = family.rfind(" [");
    if (open != std::string::npos && open > 0) return family.substr(0, open);
  }
  return family;
}

}  // namespace

std::vector<std::string> DistinctFamilies(const std::vector<std::string>& qtFamilies) {
  std::vector<std::string> families;
  std::set<std::string> seen;
  for (const std::string& family : qtFamilies) {
    const std::string name = WithoutFoundry(family);
    if (name.empty() || !seen.insert(Lower(name)).second) continue;
    families.push_back(name);
  }
  if (!seen.count("arial")) {
    // Where Qt's own order puts it: case-insensitive.
    auto at = std::find_if(families.begin(), families.end(),
                           [](const std::string& f) { return Lower(f) > "arial"; });
    families.insert(at, "Arial");
  }
  return families;
}

std::vector<std::string> PageFontFamilies() {
  std::vector<std::string> qtFamilies;
  for (const QString& family : QFontDatabase::families()) {
    if (QFontDatabase::isPrivateFamily(family)) continue;
    qtFamilies.push_back(family.toStdString());
  }
  return DistinctFamilies(qtFamilies);
}

}  // namespace tavelo
