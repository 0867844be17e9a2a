#pragma once
// WriteTemplate: "SIZE\t<count>\n", then each template record's nine values, eight "%f\t" and the
// ninth "%f\n", with the C decimal point whatever the locale. Written atomically; a failure leaves
// the old file and is reported. An empty mesh or one without template records writes nothing and
// says so.

#include <string>

#include "geometry/Status.h"
#include "mesh/UniOb.h"

namespace orvex {

Status WriteTemplate(const UniOb& mesh, const std::string& path);

}  // namespace orvex
