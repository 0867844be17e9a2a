#pragma once
// The file kind of a name by its extension, as the Inspector's file list opens files: the extension
// is the text from the last '.' of the last path component, matched case-sensitively against the
// all-upper and all-lower spellings only (".Stl" is no STL file). 0 means no kind.

#include <QString>

namespace orvex {

int File_Kind_From_Extension(const QString& name);

// The file list also shows PLY and OBJ files for one-click opening; the commands that walk the
// list (sequences, batches) take only the kinds of its original mask, as before.
inline constexpr char kSequenceMask[] = "*.tgl;*.stl;*.ran;*.xyz;*.xyc;*.sfm;";
bool Is_Sequence_File(const QString& name);

}  // namespace orvex
