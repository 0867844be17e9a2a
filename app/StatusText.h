#pragma once
// The texts the main window shows in its status bar and over its view, as plain functions so they
// can be checked without a window. Floats use the program's general format (Float_To_Str: at most
// 15 significant digits, no trailing zeros, no point for whole values: 24.0 -> "24", 0.5 -> "0.5").

#include <QString>

namespace orvex {

class UniOb;

// prefix, N, " ms": "Procedure costs : 12 ms", "Procedure Cost: 3 ms".
QString Cost_Text(const char* prefix, int ms);

// Load statistics of a mesh: "12 Facets. 8 Points. 24 Area. 8 Vol. " (with the trailing blank).
QString Mesh_Statistics_Text(const UniOb& mesh);

// Model statistics of the mesh lists: "24 faces, 16 vertexes,  Total Volume = 16 unit-cubic" (two
// blanks before "Total").
QString Model_Statistics_Text(unsigned long long faces, unsigned long long vertices, double volume);

// The progress text of the multi-file STL import: "3 STL Files Loaded within 40 ms".
QString Import_Progress_Text(int filesLoaded, int ms);

constexpr const char* kProcedureCosts = "Procedure costs : ";
constexpr const char* kFreeAllCost = "Procedure Cost: ";

}  // namespace orvex
