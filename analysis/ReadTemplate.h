#pragma once
// ReadTemplate: the template records of a template file. The file is read as whitespace-separated
// words; each "SIZE" (in any case) is followed by a count and that many records of nine numbers,
// and replaces what an earlier block gave; other words are passed over. Numbers are read with the
// C decimal point whatever the locale.
//
// The file is checked whole before the mesh changes: a count that is negative or that the file
// cannot hold, a block that ends early or a word that is no number keeps the old template, and the
// status names the record. A file without "SIZE" keeps the old template too (status ok). A missing
// or unreadable file is reported and changes nothing.

#include <string>

#include "geometry/Status.h"
#include "mesh/UniOb.h"

namespace orvex {

Status ReadTemplate(UniOb& mesh, const std::string& path);
// The same over text in hand; `name` stands for the file in messages.
Status ReadTemplate_Text(UniOb& mesh, const std::string& text, const std::string& name);

}  // namespace orvex
