#include "analysis/WriteTemplate.h"

#include "analysis/WriteFeatures.h"
#include "geometry/AtomicFile.h"

namespace orvex {

Status WriteTemplate(const UniOb& mesh, const std::string& path) {
    if (mesh.IsEmpty()) return Status::Error(path + ": not written, there is no mesh");
    if (mesh.Template_Records.empty())
        return Status::Error(path + ": not written, there are no template records");
    std::string text = "SIZE\t" + std::to_string(mesh.Template_Records.size()) + "\n";
    text.reserve(text.size() + mesh.Template_Records.size() * 100);
    for (const Record10& record : mesh.Template_Records) {
        for (int k = 0; k < 9; ++k) {
            Append_Fixed6(text, record[k]);
            text += k < 8 ? '\t' : '\n';
        }
    }
    AtomicFile file;
    if (Status opened = file.Open(path); !opened) return opened;
    file.Write(text.data(), text.size());
    return file.Commit();
}

}  // namespace orvex
