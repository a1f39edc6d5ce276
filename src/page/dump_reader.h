#pragma once
// Reads the display-list text dump (DumpPage) back onto a page, as the
// drawing calls that made it: dumping the page read gives the same text.

#include <string>
#include <string_view>

namespace tavelo {

class PageDocument;

// Begins a new document on `page`, records every line of `dump` and ends
// it. A line the dump does not write (an unknown word, a number that does
// not parse, a point list with an odd count) is refused: false with
// "line N: REASON" in `error` (when given), and the page is left empty.
bool ReadDump(std::string_view dump, PageDocument& page, std::string* error = nullptr);

// The same from a file; false with a reason naming it when it cannot be read.
bool ReadDumpFile(const std::string& path, PageDocument& page, std::string* error = nullptr);

}  // namespace tavelo
