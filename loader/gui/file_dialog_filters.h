#pragma once

#include <QStringList>
#include <string_view>

namespace zamel {

// The loader's file filters, "description|pattern" pairs separated by '|' and ended
// by "||", as the file dialog's name filters. A pattern list separated by ';' is
// separated by blanks, and "*.*" becomes "*", so that "All Files" also shows the
// files that have no extension.
QStringList nameFiltersOf(std::string_view filter);

}  // namespace zamel
