#pragma once
// The file kind of a name by its extension, as the Inspector's file list opens files: the extension
// is the text from the last '.' of the last path component, matched case-sensitively against the
// all-upper and all-lower spellings only (".Stl" is no STL file). 0 means no kind.

#include <QString>

namespace orvex {

int File_Kind_From_Extension(const QString& name);

}  // namespace orvex
