#include "facet/TriOb.h"

#include <cstdint>
#include <limits>

#include "geometry/AtomicFile.h"
#include "geometry/Color.h"
#include "mesh/StlFormat.h"

namespace orvex {

TriOb::~TriOb() {
    ClearFacets(*this);
}

std::size_t TriOb::FacetCount() const {
    std::size_t count = 0;
    for (const TRI_FACET* f = Head.Next; f; f = f->Next) ++count;
    return count;
}

void ClearFacets(TriOb& object) {
    ClearLists(object.Head);
    Free_Facet_List(object.Head.Next);
}

void FillFromMeshes(TriOb& object, const UniOb* first) {
    ClearFacets(object);
    Color_To_RGB(Random_Color(), object.Color);
    for (const UniOb* mesh = first; mesh; mesh = mesh->next) {
        if (mesh->IsEmpty()) continue;
        for (unsigned f = 0; f < mesh->Face_Count; ++f) {
            auto* facet = new TRI_FACET;
            facet->Normal = mesh->Face_Normal[f];
            facet->Corner0 = mesh->Vertex_Pos[mesh->Face_Index[f][0]];
            facet->Corner1 = mesh->Vertex_Pos[mesh->Face_Index[f][1]];
            facet->Corner2 = mesh->Vertex_Pos[mesh->Face_Index[f][2]];
            facet->Offset = Dot(facet->Normal, facet->Corner1);
            facet->Next = object.Head.Next;
            object.Head.Next = facet;
        }
    }
}

Status WriteSTL(const TriOb& object, const std::string& path) {
    const std::size_t count = object.FacetCount();
    if (count == 0) return Status::Error(path + ": nothing written, there are no facets");
    if (count > std::numeric_limits<std::uint32_t>::max())
        return Status::Error(path + ": " + std::to_string(count) + " facets do not fit one STL file");
    AtomicFile file;
    if (Status s = file.Open(path); !s) return s;
    unsigned char preamble[kStlPreambleBytes];
    Stl_Put_Preamble(preamble, std::uint32_t(count));
    file.Write(preamble, sizeof preamble);
    unsigned char record[kStlRecordBytes];
    for (const TRI_FACET* f = object.Head.Next; f; f = f->Next) {
        Stl_Put_Record(record, StlFacet{f->Normal, {f->Corner0, f->Corner1, f->Corner2}});
        file.Write(record, sizeof record);
    }
    return file.Commit();
}

}  // namespace orvex
