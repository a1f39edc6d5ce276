#pragma once
// The font families the font list (`ListePolices`) offers: each family once
// (Qt names a family found at two foundries "Family [Foundry]"; the page
// asks for the family alone), sorted as Qt sorts them, and always holding
// the page's default "Arial", which Liberation Sans serves where Arial
// itself is missing. Needs a QGuiApplication.

#include <string>
#include <vector>

namespace tavelo {

std::vector<std::string> PageFontFamilies();

// The family names cleaned as above (testable without the font database).
std::vector<std::string> DistinctFamilies(const std::vector<std::string>& qtFamilies);

}  // namespace tavelo
