// Read_PLY: header, then the body element by element, binary or ASCII, then the shared ending.

#include "mesh/PlyReader.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "geometry/NumberScanner.h"
#include "mesh/LineChunks.h"
#include "mesh/TwoThreads.h"

namespace orvex {

namespace {

using namespace mesh_file_detail;

// Face indices are ints, so a file's vertices must be numbered by them.
constexpr std::uint64_t kMaxVertices = std::uint64_t(std::numeric_limits<int>::max()) - 3;
constexpr std::uint64_t kProgressStep = 1u << 18;
// An ASCII body is cut into this many pieces (of 1 MiB at least), taken in turn by two threads.
constexpr unsigned kLinePieces = 8;

enum class Type { Int8, UInt8, Int16, UInt16, Int32, UInt32, Float32, Float64 };
enum class Encoding { Ascii, Little, Big };

int Type_Size(Type type) {
    switch (type) {
        case Type::Int8:
        case Type::UInt8:
            return 1;
        case Type::Int16:
        case Type::UInt16:
            return 2;
        case Type::Int32:
        case Type::UInt32:
        case Type::Float32:
            return 4;
        case Type::Float64:
            return 8;
    }
    return 1;
}

bool Parse_Type(std::string_view word, Type& type) {
    struct Name {
        const char* text;
        Type type;
    };
    static constexpr Name kNames[] = {
        {"char", Type::Int8},       {"int8", Type::Int8},       {"uchar", Type::UInt8},
        {"uint8", Type::UInt8},     {"short", Type::Int16},     {"int16", Type::Int16},
        {"ushort", Type::UInt16},   {"uint16", Type::UInt16},   {"int", Type::Int32},
        {"int32", Type::Int32},     {"uint", Type::UInt32},     {"uint32", Type::UInt32},
        {"float", Type::Float32},   {"float32", Type::Float32}, {"double", Type::Float64},
        {"float64", Type::Float64},
    };
    for (const Name& name : kNames) {
        if (word == name.text) {
            type = name.type;
            return true;
        }
    }
    return false;
}

// What a vertex property is for.
enum class Role { Skip, X, Y, Z, Red, Green, Blue, U, V, Indices };

struct Property {
    std::string name;
    Type type = Type::Float32;
    bool list = false;
    Type countType = Type::UInt8;
    Role role = Role::Skip;
};

struct Element {
    std::string name;
    std::uint64_t count = 0;
    std::vector<Property> properties;
    std::size_t line = 0;

    // Bytes of one record in a binary body when every list is empty: the least a record can take.
    std::uint64_t MinBinaryBytes() const {
        std::uint64_t bytes = 0;
        for (const Property& p : properties) bytes += std::uint64_t(Type_Size(p.list ? p.countType : p.type));
        return bytes;
    }
    bool Fixed() const {
        return std::none_of(properties.begin(), properties.end(), [](const Property& p) { return p.list; });
    }
};

struct Header {
    Encoding encoding = Encoding::Ascii;
    std::vector<Element> elements;
    std::size_t bodyOffset = 0;
    std::size_t bodyLine = 0;  // the first line of an ASCII body
};

// before + word + after, built in place (GCC 12 warns wrongly about "..." + std::string(...)).
std::string Quoted(const char* before, std::string_view word, const char* after) {
    std::string text = before;
    text.append(word);
    text += after;
    return text;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        std::size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
        if (j > i) words.push_back(line.substr(i, j - i));
        i = j;
    }
    return words;
}

Status Parse_Header(std::span<const unsigned char> bytes, const std::string& name, Header& header) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::size_t pos = 0;
    std::size_t lineNo = 0;
    bool sawFormat = false;
    auto error = [&](const std::string& what) {
        return Status::Error(name + ": line " + std::to_string(lineNo) + ": " + what);
    };
    for (;;) {
        if (pos >= text.size()) {
            if (lineNo == 0) return Status::Error(name + ": empty file, not a PLY file");
            return Status::Error(name + ": the header has no end_header line");
        }
        const std::size_t end = text.find('\n', pos);
        std::string_view line =
            text.substr(pos, end == std::string_view::npos ? text.size() - pos : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::vector<std::string_view> words = Words(line);
        if (lineNo == 1) {
            if (words.size() != 1 || words[0] != "ply")
                return Status::Error(name + ": not a PLY file (no 'ply' on the first line)");
            continue;
        }
        if (words.empty()) continue;
        const std::string_view key = words[0];
        if (key == "comment" || key == "obj_info") continue;
        if (key == "end_header") {
            if (!sawFormat) return error("end_header before the format line");
            header.bodyOffset = pos;
            header.bodyLine = lineNo + 1;
            return Status::Ok();
        }
        if (key == "format") {
            if (words.size() != 3)
                return error(Quoted("expected 'format <encoding> 1.0', found '", line, "'"));
            if (words[1] == "ascii") {
                header.encoding = Encoding::Ascii;
            } else if (words[1] == "binary_little_endian") {
                header.encoding = Encoding::Little;
            } else if (words[1] == "binary_big_endian") {
                header.encoding = Encoding::Big;
            } else {
                return error(Quoted("unknown format '", words[1], "'"));
            }
            if (words[2] != "1.0" && words[2] != "1")
                return error(Quoted("unknown format version '", words[2], "'"));
            sawFormat = true;
            continue;
        }
        if (key == "element") {
            if (words.size() != 3) return error("expected 'element <name> <count>'");
            Element element;
            element.name = std::string(words[1]);
            element.line = lineNo;
            const auto [end2, ec] =
                std::from_chars(words[2].data(), words[2].data() + words[2].size(), element.count);
            if (ec != std::errc() || end2 != words[2].data() + words[2].size())
                return error(Quoted("'", words[2], "' is no element count"));
            header.elements.push_back(std::move(element));
            continue;
        }
        if (key == "property") {
            if (header.elements.empty()) return error("property before any element");
            Property property;
            if (words.size() == 5 && words[1] == "list") {
                property.list = true;
                if (!Parse_Type(words[2], property.countType))
                    return error(Quoted("unknown property type '", words[2], "'"));
                if (property.countType == Type::Float32 || property.countType == Type::Float64)
                    return error(Quoted("a list count of type '", words[2], "'"));
                if (!Parse_Type(words[3], property.type))
                    return error(Quoted("unknown property type '", words[3], "'"));
                property.name = std::string(words[4]);
            } else if (words.size() == 3 && words[1] != "list") {
                if (!Parse_Type(words[1], property.type))
                    return error(Quoted("unknown property type '", words[1], "'"));
                property.name = std::string(words[2]);
            } else {
                return error("expected 'property <type> <name>' or 'property list <type> <type> <name>'");
            }
            header.elements.back().properties.push_back(std::move(property));
            continue;
        }
        return error(Quoted("unknown header line '", line.substr(0, 60), "'"));
    }
}

template <class T>
T Load(const unsigned char* b) {
    T v;
    std::memcpy(&v, b, sizeof v);
    return v;
}

// A value of a binary body; `swap` for the other byte order.
double Binary_Value(const unsigned char* p, Type type, bool swap) {
    unsigned char b[8];
    const int n = Type_Size(type);
    if (swap) {
        for (int i = 0; i < n; ++i) b[i] = p[n - 1 - i];
    } else {
        std::memcpy(b, p, std::size_t(n));
    }
    switch (type) {
        case Type::Int8:
            return double(std::int8_t(b[0]));
        case Type::UInt8:
            return double(b[0]);
        case Type::Int16:
            return double(Load<std::int16_t>(b));
        case Type::UInt16:
            return double(Load<std::uint16_t>(b));
        case Type::Int32:
            return double(Load<std::int32_t>(b));
        case Type::UInt32:
            return double(Load<std::uint32_t>(b));
        case Type::Float32:
            return double(Load<float>(b));
        case Type::Float64:
            return double(Load<double>(b));
    }
    return 0.0;
}

int Color_Channel(double value, Type type) {
    double scaled = value;
    if (type == Type::Float32 || type == Type::Float64) {
        scaled = value * 255.0 + 0.5;
    } else if (type == Type::UInt16 || type == Type::Int16) {
        scaled = value / 257.0 + 0.5;
    } else if (type == Type::UInt32 || type == Type::Int32) {
        scaled = value > 255.0 ? 255.0 : value;
    }
    if (!(scaled >= 0.0)) return 0;
    return scaled >= 255.0 ? 255 : int(scaled);
}

class PlyBody {
public:
    PlyBody(std::span<const unsigned char> bytes, const Header& header, const MeshFileOptions& options,
            MeshFileReport& report)
        : bytes_(bytes), header_(header), options_(options), report_(report) {}

    // Reads every element; false when the body ended or broke early (problem_ says how).
    bool Read();
    std::uint64_t VertexLimit() const { return vertexLimit_; }

    std::vector<Vec3> positions;
    std::vector<int> colors;
    std::vector<TexCoord> texCoords;
    std::vector<FaceIndex> faces;
    std::vector<unsigned char> badVertex;  // non-finite coordinates
    std::string problem;

    const Element* vertexElement = nullptr;
    const Element* faceElement = nullptr;
    bool verticesDone = false;       // the vertex element precedes the faces
    std::uint64_t verticesRead = 0;  // complete vertex records

private:
    bool Read_Element(const Element& element);
    bool Binary_Element(const Element& element);
    bool Ascii_Element(const Element& element);
    bool Ascii_Value(Type type, double& value);
    bool Ascii_Skip_Blank();
    void Vertex_Record(std::uint64_t index, const double* values, const Element& element);
    bool Put_Vertex(std::uint64_t index, const double* values, const Element& element);
    void Polygon(const std::int64_t* indices, std::uint64_t count);
    bool Tick(std::uint64_t record);

    struct LinePiece;
    enum class Lines { Done, Cancelled, Other };
    Lines Read_Lines();
    bool Line_Records(LinePiece& piece, const Element& element, std::uint64_t first, std::uint64_t begin,
                      std::uint64_t end);
    bool Line_Tick(LinePiece& piece, const char* p);
    void Line_Polygon(LinePiece& piece, const std::int64_t* indices, std::size_t n, bool usable);

    std::span<const unsigned char> bytes_;
    const Header& header_;
    const MeshFileOptions& options_;
    MeshFileReport& report_;
    std::size_t pos_ = 0;
    std::size_t line_ = 0;
    std::uint64_t vertexLimit_ = 0;  // indices must be below it
};

bool PlyBody::Tick(std::uint64_t record) {
    if ((record & (kProgressStep - 1)) != 0) return true;
    if (Cancel_Requested(options_.progress)) {
        problem = "reading cancelled";
        return false;
    }
    if (!bytes_.empty())
        Report_Progress(options_.progress, double(pos_) / double(bytes_.size()), "Reading PLY");
    return true;
}

void PlyBody::Vertex_Record(std::uint64_t index, const double* values, const Element& element) {
    if (!Put_Vertex(index, values, element)) {
        badVertex[index] = 1;
        ++report_.verticesNonFinite;
    }
}

// Stores the vertex; false when a coordinate is not finite.
bool PlyBody::Put_Vertex(std::uint64_t index, const double* values, const Element& element) {
    float xyz[3] = {0, 0, 0};
    float uv[2] = {0, 0};
    int rgb[3] = {0, 0, 0};
    bool finite = true;
    for (std::size_t k = 0; k < element.properties.size(); ++k) {
        const Property& p = element.properties[k];
        switch (p.role) {
            case Role::X:
            case Role::Y:
            case Role::Z: {
                const float f = float(values[k]);
                if (!std::isfinite(f)) finite = false;
                xyz[int(p.role) - int(Role::X)] = f;
                break;
            }
            case Role::Red:
            case Role::Green:
            case Role::Blue:
                rgb[int(p.role) - int(Role::Red)] = Color_Channel(values[k], p.type);
                break;
            case Role::U:
            case Role::V: {
                const float f = float(values[k]);
                uv[int(p.role) - int(Role::U)] = std::isfinite(f) ? f : 0.0f;
                break;
            }
            default:
                break;
        }
    }
    positions[index] = Vec3{xyz[0], xyz[1], xyz[2]};
    if (!colors.empty()) colors[index] = rgb[0] | (rgb[1] << 8) | (rgb[2] << 16);
    if (!texCoords.empty()) texCoords[index] = {uv[0], uv[1]};
    return finite;
}

void PlyBody::Polygon(const std::int64_t* indices, std::uint64_t count) {
    bool usable = count >= 3;
    for (std::uint64_t k = 0; usable && k < count; ++k) {
        const std::int64_t i = indices[k];
        if (i < 0 || std::uint64_t(i) >= vertexLimit_ || (verticesDone && badVertex[std::size_t(i)]))
            usable = false;
    }
    if (!usable) {
        ++report_.facesDropped;
        return;
    }
    ++report_.facesRead;
    for (std::uint64_t k = 1; k + 1 < count; ++k)
        faces.push_back(FaceIndex{int(indices[0]), int(indices[k]), int(indices[k + 1])});
}

bool PlyBody::Read() {
    if (vertexElement) {
        // Never more vertices than records the body can hold.
        const std::uint64_t remaining = bytes_.size() - std::min(bytes_.size(), header_.bodyOffset);
        const std::uint64_t perRecord = header_.encoding == Encoding::Ascii
                                            ? 2 * std::max<std::uint64_t>(1, vertexElement->properties.size())
                                            : std::max<std::uint64_t>(1, vertexElement->MinBinaryBytes());
        vertexLimit_ = std::min({vertexElement->count, remaining / perRecord + 1, kMaxVertices});
    }
    pos_ = header_.bodyOffset;
    line_ = header_.bodyLine;
    if (header_.encoding == Encoding::Ascii) {
        const Lines lines = Read_Lines();
        if (lines == Lines::Done) return true;
        if (lines == Lines::Cancelled) return false;
        faces.clear();
    }
    for (const Element& element : header_.elements) {
        if (!Read_Element(element)) return false;
        if (&element == vertexElement) verticesDone = true;
    }
    return true;
}

bool PlyBody::Read_Element(const Element& element) {
    const bool isVertex = &element == vertexElement;
    if (isVertex) {
        positions.assign(vertexLimit_, Vec3{});
        badVertex.assign(vertexLimit_, 0);
        if (report_.colors) colors.assign(vertexLimit_, 0);
        if (report_.texCoords) texCoords.assign(vertexLimit_, TexCoord{0, 0});
    }
    // Records of nothing take no bytes and no words, however many are declared.
    if (element.count == 0 || element.properties.empty()) return true;
    if (header_.encoding == Encoding::Ascii) return Ascii_Element(element);
    // A binary body must hold the least every record takes before anything is read or allocated.
    const std::uint64_t remaining = bytes_.size() - pos_;
    const std::uint64_t least = element.MinBinaryBytes();
    if (least == 0) return true;  // records of nothing
    if (&element == faceElement) {
        const std::uint64_t fit = std::min(element.count, remaining / least);
        faces.reserve(std::size_t(std::min<std::uint64_t>(fit, kMaxVertices)));
    }
    return Binary_Element(element);
}

bool PlyBody::Binary_Element(const Element& element) {
    const bool swap = (header_.encoding == Encoding::Big) != (std::endian::native == std::endian::big);
    const bool isVertex = &element == vertexElement;
    const bool isFace = &element == faceElement;
    const unsigned char* data = bytes_.data();
    const std::size_t size = bytes_.size();
    auto truncated = [&](std::uint64_t record) {
        problem = "truncated at byte offset " + std::to_string(pos_) + ": element '" + element.name +
                  "' has " + std::to_string(record) + " of " + std::to_string(element.count) + " records";
        report_.damaged = true;
        return false;
    };

    // The common cases go straight: float x, y, z first in a fixed record, and faces of one list.
    if (isVertex && element.Fixed() && !swap && element.properties.size() >= 3 &&
        element.properties[0].role == Role::X && element.properties[1].role == Role::Y &&
        element.properties[2].role == Role::Z && element.properties[0].type == Type::Float32 &&
        element.properties[1].type == Type::Float32 && element.properties[2].type == Type::Float32 &&
        !report_.colors && !report_.texCoords) {
        const std::uint64_t record = element.MinBinaryBytes();
        const std::uint64_t fit = std::min<std::uint64_t>(element.count, (size - pos_) / record);
        for (std::uint64_t i = 0; i < fit; ++i) {
            const unsigned char* p = data + pos_ + i * record;
            if (i < vertexLimit_) {
                Vec3 v;
                std::memcpy(&v.x, p, 4);
                std::memcpy(&v.y, p + 4, 4);
                std::memcpy(&v.z, p + 8, 4);
                positions[i] = v;
                if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) {
                    badVertex[i] = 1;
                    ++report_.verticesNonFinite;
                }
            }
            if (!Tick(i)) return false;
        }
        pos_ += std::size_t(fit * record);
        verticesRead = std::min(fit, vertexLimit_);
        if (fit < element.count) return truncated(fit);
        return true;
    }
    if (isFace && element.properties.size() == 1 && element.properties[0].role == Role::Indices && !swap &&
        element.properties[0].countType == Type::UInt8 &&
        (element.properties[0].type == Type::Int32 || element.properties[0].type == Type::UInt32)) {
        const bool isSigned = element.properties[0].type == Type::Int32;
        std::int64_t indices[255];
        for (std::uint64_t r = 0; r < element.count; ++r) {
            if (pos_ >= size) return truncated(r);
            const unsigned n = data[pos_];
            if (size - pos_ - 1 < std::size_t(n) * 4) return truncated(r);
            const unsigned char* p = data + pos_ + 1;
            for (unsigned k = 0; k < n; ++k) {
                std::uint32_t u;
                std::memcpy(&u, p + 4 * k, 4);
                indices[k] = isSigned ? std::int64_t(std::int32_t(u)) : std::int64_t(u);
            }
            pos_ += 1 + std::size_t(n) * 4;
            Polygon(indices, n);
            if (!Tick(r)) return false;
        }
        return true;
    }

    std::vector<double> values(element.properties.size());
    std::vector<std::int64_t> indices;
    for (std::uint64_t r = 0; r < element.count; ++r) {
        bool keepIndices = false;
        for (std::size_t k = 0; k < element.properties.size(); ++k) {
            const Property& p = element.properties[k];
            if (!p.list) {
                const int bytes = Type_Size(p.type);
                if (size - pos_ < std::size_t(bytes)) return truncated(r);
                if (isVertex) values[k] = Binary_Value(data + pos_, p.type, swap);
                pos_ += std::size_t(bytes);
                continue;
            }
            const int countBytes = Type_Size(p.countType);
            if (size - pos_ < std::size_t(countBytes)) return truncated(r);
            const double counted = Binary_Value(data + pos_, p.countType, swap);
            pos_ += std::size_t(countBytes);
            if (counted < 0) {
                problem = "byte offset " + std::to_string(pos_ - std::size_t(countBytes)) + ": element '" +
                          element.name + "' record " + std::to_string(r) + " has a list count of " +
                          std::to_string(std::int64_t(counted));
                report_.damaged = true;
                return false;
            }
            const std::uint64_t n = std::uint64_t(counted);
            const std::uint64_t bytes = n * std::uint64_t(Type_Size(p.type));
            if (size - pos_ < bytes) return truncated(r);
            if (isFace && p.role == Role::Indices) {
                indices.resize(std::size_t(n));
                for (std::uint64_t i = 0; i < n; ++i) {
                    const double value =
                        Binary_Value(data + pos_ + i * std::uint64_t(Type_Size(p.type)), p.type, swap);
                    indices[std::size_t(i)] = std::int64_t(value);
                }
                keepIndices = true;
            }
            pos_ += std::size_t(bytes);
        }
        if (isVertex && r < vertexLimit_) {
            Vertex_Record(r, values.data(), element);
            verticesRead = r + 1;
        }
        if (keepIndices) Polygon(indices.data(), indices.size());
        if (!Tick(r)) return false;
    }
    return true;
}

bool PlyBody::Ascii_Skip_Blank() {
    const std::size_t size = bytes_.size();
    while (pos_ < size) {
        const unsigned char c = bytes_[pos_];
        if (c == '\n') {
            ++line_;
        } else if (c != ' ' && c != '\t' && c != '\r') {
            return true;
        }
        ++pos_;
    }
    return false;
}

bool PlyBody::Ascii_Value(Type type, double& value) {
    if (!Ascii_Skip_Blank()) {
        problem = "line " + std::to_string(line_) + ": the data ends early";
        report_.damaged = true;
        return false;
    }
    const char* begin = reinterpret_cast<const char*>(bytes_.data()) + pos_;
    const char* end = reinterpret_cast<const char*>(bytes_.data()) + bytes_.size();
    const char* p = begin;
    // A plus is skipped for from_chars, but only before a digit or point: "+-5" is no number.
    if (p + 1 < end && *p == '+' && p[1] != '-' && p[1] != '+') ++p;
    // Plain decimal integers, the bulk of every face list, are read without the general parser.
    if (type != Type::Float32 && type != Type::Float64) {
        const char* q = p;
        const bool negative = q < end && *q == '-';
        if (negative) ++q;
        std::uint64_t whole = 0;
        const char* digits = q;
        while (q < end && q - digits < 18 && unsigned(*q - '0') < 10u)
            whole = whole * 10 + unsigned(*q++ - '0');
        if (q > digits && (q == end || *q == ' ' || *q == '\t' || *q == '\r' || *q == '\n')) {
            value = negative ? -double(whole) : double(whole);
            pos_ += std::size_t(q - begin);
            return true;
        }
    }
    std::from_chars_result result{};
    if (type == Type::Float32 || type == Type::Float64) {
        result = std::from_chars(p, end, value);
    } else {
        std::int64_t whole = 0;
        result = std::from_chars(p, end, whole);
        if (result.ec == std::errc() && result.ptr < end &&
            (*result.ptr == '.' || *result.ptr == 'e' || *result.ptr == 'E'))
            result = std::from_chars(p, end, value);  // a writer that put 3.0 for an int
        else
            value = double(whole);
    }
    // An overflowing float is infinite and marks the vertex; anything else must be a number.
    if (result.ec == std::errc::result_out_of_range && (type == Type::Float32 || type == Type::Float64)) {
        value = std::numeric_limits<double>::infinity();
    } else if (result.ec != std::errc() || (result.ptr < end && *result.ptr != ' ' && *result.ptr != '\t' &&
                                            *result.ptr != '\r' && *result.ptr != '\n')) {
        const char* stop = begin;
        while (stop < end && stop - begin < 40 && *stop != ' ' && *stop != '\t' && *stop != '\r' &&
               *stop != '\n')
            ++stop;
        problem = "line " + std::to_string(line_) +
                  Quoted(": '", std::string_view(begin, std::size_t(stop - begin)), "' is not a number");
        report_.damaged = true;
        return false;
    }
    pos_ += std::size_t(result.ptr - begin);
    return true;
}

bool PlyBody::Ascii_Element(const Element& element) {
    const bool isVertex = &element == vertexElement;
    const bool isFace = &element == faceElement;
    std::vector<double> values(element.properties.size());
    std::vector<std::int64_t> indices;
    for (std::uint64_t r = 0; r < element.count; ++r) {
        bool keepIndices = false;
        for (std::size_t k = 0; k < element.properties.size(); ++k) {
            const Property& p = element.properties[k];
            double value = 0;
            if (!p.list) {
                if (!Ascii_Value(p.type, value)) return false;
                values[k] = value;
                continue;
            }
            if (!Ascii_Value(p.countType, value)) return false;
            // Each value takes at least a digit and a separator.
            if (!(value >= 0) || value > double(bytes_.size() - pos_) / 2 + 1) {
                char count[40];
                std::snprintf(count, sizeof count, "%.0f", value);
                problem = "line " + std::to_string(line_) + ": a list count of " + count + " in element '" +
                          element.name + "'";
                report_.damaged = true;
                return false;
            }
            const std::uint64_t n = std::uint64_t(value);
            const bool wanted = isFace && p.role == Role::Indices;
            if (wanted) indices.resize(std::size_t(n));
            for (std::uint64_t i = 0; i < n; ++i) {
                if (!Ascii_Value(p.type, value)) return false;
                if (wanted)
                    indices[std::size_t(i)] = value >= -9e18 && value <= 9e18 ? std::int64_t(value) : -1;
            }
            keepIndices = wanted;
        }
        if (isVertex && r < vertexLimit_) {
            Vertex_Record(r, values.data(), element);
            verticesRead = r + 1;
        }
        if (keepIndices) Polygon(indices.data(), indices.size());
        if (!Tick(r)) return false;
    }
    return true;
}

// ---- Bodies written one record a line ----
// Nearly every ASCII body has one record a line in plain numbers. Such a body is cut at line ends
// into pieces that two threads take in turn: a piece knows its first record by the lines before
// it. Anything else (a record across lines, a blank line, a number the quick routes might
// read otherwise, a non-finite coordinate, an error) sends the body back to the reading record by
// record, which says what is wrong, so the mesh is the same whichever reading made it.

// Line ends in [p, end): byte counters the compiler keeps in vector registers, emptied before they
// can overflow, count several times faster than std::count.
std::size_t Count_Lines(const char* p, const char* end) {
    constexpr std::size_t kBlock = 255 * 32;
    std::size_t total = 0;
    while (std::size_t(end - p) >= kBlock) {
        unsigned char hits[32] = {};
        for (std::size_t i = 0; i < kBlock; i += 32)
            for (std::size_t j = 0; j < 32; ++j) hits[j] += p[i + j] == '\n';
        for (unsigned char h : hits) total += h;
        p += kBlock;
    }
    return total + std::size_t(std::count(p, end, '\n'));
}

bool Line_Blank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

bool Token_End(const char* p, const char* end) {
    return p == end || Line_Blank(*p) || *p == '\n';
}

// Moves p to the next token on the line; false at the line's end.
[[gnu::always_inline]] inline bool Line_Token(const char*& p, const char* end) {
    while (p < end && Line_Blank(*p)) ++p;
    return p < end && *p != '\n';
}

// An integer token as Ascii_Value reads it (an optional '+' or '-', then at most 18 digits);
// false for anything that reading might take differently or refuse.
[[gnu::always_inline]] inline bool Line_Int(const char*& p, const char* end, bool& negative,
                                            std::uint64_t& whole) {
    if (!Line_Token(p, end)) return false;
    const char* q = *p == '+' ? p + 1 : p;
    negative = q == p && q < end && *q == '-';
    if (negative) ++q;
    const int digits = Read_Digits(q, end, 18, whole);
    if (digits == 0 || !Token_End(q + digits, end)) return false;
    p = q + digits;
    return true;
}

// The next value on the line as Ascii_Value reads it; false at the line's end or for any token
// that reading might take differently or refuse.
[[gnu::always_inline]] inline bool Line_Value(const char*& p, const char* end, Type type, double& value) {
    if (type == Type::Float32 || type == Type::Float64) {
        if (!Line_Token(p, end)) return false;
        const char* q = *p == '+' ? p + 1 : p;
        if (q > p && q < end && (*q == '-' || *q == '+')) return false;  // "+-5" is no number
        const char* stop = Parse_Plain_Double(q, end, value);
        if (!stop) {
            const std::from_chars_result result = std::from_chars(q, end, value);
            if (result.ec != std::errc()) return false;
            stop = result.ptr;
        }
        if (!Token_End(stop, end)) return false;
        p = stop;
        return true;
    }
    bool negative = false;
    std::uint64_t whole = 0;
    if (!Line_Int(p, end, negative, whole)) return false;
    value = negative ? -double(whole) : double(whole);
    return true;
}

struct PlyBody::LinePiece {
    const char* begin = nullptr;  // of the piece
    const char* at = nullptr;     // where the next record starts
    const char* end = nullptr;    // of the data
    const char* limit = nullptr;  // the line the next piece starts with: this one stops there
    std::vector<FaceIndex>* faces = nullptr;
    std::uint64_t next = ~std::uint64_t(0);  // the record after the last one read
    std::uint64_t facesRead = 0;
    std::uint64_t facesDropped = 0;
    bool main = false;  // read by the caller's thread, which reports progress and looks for a cancel
    std::atomic<bool>* stop = nullptr;
    std::atomic<std::size_t>* doneBytes = nullptr;  // of the pieces read to their end, for the progress
    std::vector<double> values;
    std::vector<std::int64_t> indices;
};

// Past the record's last value: only blanks may follow on its line.
[[gnu::always_inline]] inline bool Line_End(const char*& p, const char* end) {
    while (p < end && Line_Blank(*p)) ++p;
    if (p == end) return true;
    if (*p != '\n') return false;
    ++p;
    return true;
}

// Every so many records: the caller's thread reports progress and looks for a cancel, the other
// looks whether to stop.
bool PlyBody::Line_Tick(LinePiece& piece, const char* p) {
    if (!piece.main) return !piece.stop->load(std::memory_order_relaxed);
    if (Cancel_Requested(options_.progress)) {
        problem = "reading cancelled";
        piece.stop->store(true);
        return false;
    }
    const double read = double(header_.bodyOffset) + double(p - piece.begin) +
                        double(piece.doneBytes->load(std::memory_order_relaxed));
    Report_Progress(options_.progress, std::min(1.0, read / double(bytes_.size())), "Reading PLY");
    return true;
}

void PlyBody::Line_Polygon(LinePiece& piece, const std::int64_t* indices, std::size_t n, bool usable) {
    if (!usable) {
        ++piece.facesDropped;
        return;
    }
    ++piece.facesRead;
    for (std::size_t k = 1; k + 1 < n; ++k)
        piece.faces->push_back(FaceIndex{int(indices[0]), int(indices[k]), int(indices[k + 1])});
}

// Records [begin, end) of the element, the first of which is record `first` of the body; false
// when they are not in the simple form (or the reading is to stop). Stops early at piece.limit.
bool PlyBody::Line_Records(LinePiece& piece, const Element& element, std::uint64_t first, std::uint64_t begin,
                           std::uint64_t end) {
    const bool isVertex = &element == vertexElement;
    const bool isFace = &element == faceElement;
    piece.values.resize(element.properties.size());
    const char* p = piece.at;
    const char* const stop = piece.end;
    std::uint64_t r = begin;
    if (isFace && element.properties.size() == 1 && element.properties[0].role == Role::Indices) {
        // Faces alone on their lines, the usual case: counts and indices are integers.
        for (; r < end && p != piece.limit; ++r) {
            bool negative = false;
            std::uint64_t n = 0;
            if (!Line_Int(p, stop, negative, n)) return false;
            if ((negative && n != 0) || n > std::uint64_t(stop - p) / 2) return false;
            if (negative) n = 0;
            if (piece.indices.size() < n) piece.indices.resize(std::size_t(n));
            bool usable = n >= 3;
            for (std::size_t i = 0; i < n; ++i) {
                std::uint64_t index = 0;
                if (!Line_Int(p, stop, negative, index)) return false;
                usable &= negative ? index == 0 : index < vertexLimit_;
                piece.indices[i] = std::int64_t(negative ? 0 : index);
            }
            if (!Line_End(p, stop)) return false;
            Line_Polygon(piece, piece.indices.data(), std::size_t(n), usable);
            if (((r + 1) & (kProgressStep - 1)) == 0 && !Line_Tick(piece, p)) return false;
        }
        piece.at = p;
        piece.next = first + r;
        return true;
    }
    for (; r < end && p != piece.limit; ++r) {
        bool keepIndices = false;
        std::size_t n = 0;
        for (std::size_t k = 0; k < element.properties.size(); ++k) {
            const Property& property = element.properties[k];
            if (!property.list) {
                if (!Line_Value(p, stop, property.type, piece.values[k])) return false;
                continue;
            }
            double value = 0;
            if (!Line_Value(p, stop, property.countType, value)) return false;
            if (!(value >= 0) || value > double(stop - p) / 2) return false;
            n = std::size_t(value);
            const bool wanted = isFace && property.role == Role::Indices;
            if (wanted && piece.indices.size() < n) piece.indices.resize(n);
            for (std::size_t i = 0; i < n; ++i) {
                if (!Line_Value(p, stop, property.type, value)) return false;
                if (wanted) piece.indices[i] = value >= -9e18 && value <= 9e18 ? std::int64_t(value) : -1;
            }
            keepIndices = wanted;
        }
        if (!Line_End(p, stop)) return false;
        if (isVertex && !Put_Vertex(r, piece.values.data(), element)) return false;
        if (keepIndices) {
            bool usable = n >= 3;
            for (std::size_t k = 0; usable && k < n; ++k)
                usable = piece.indices[k] >= 0 && std::uint64_t(piece.indices[k]) < vertexLimit_;
            Line_Polygon(piece, piece.indices.data(), n, usable);
        }
        if (((r + 1) & (kProgressStep - 1)) == 0 && !Line_Tick(piece, p)) return false;
    }
    piece.at = p;
    piece.next = first + r;
    return true;
}

PlyBody::Lines PlyBody::Read_Lines() {
    // The records of every element that has any, numbered through the body.
    struct Run {
        const Element* element;
        std::uint64_t first;
    };
    std::vector<Run> runs;
    std::uint64_t total = 0;
    const std::size_t bodyBytes = bytes_.size() - std::min(bytes_.size(), header_.bodyOffset);
    for (const Element& element : header_.elements) {
        if (element.count == 0 || element.properties.empty()) continue;
        // Each record takes a line of at least two bytes, the last perhaps one.
        if (element.count > bodyBytes / 2 + 1 - total) return Lines::Other;
        runs.push_back({&element, total});
        total += element.count;
    }
    if (vertexElement->count > vertexLimit_) return Lines::Other;
    if (Cancel_Requested(options_.progress)) {
        problem = "reading cancelled";
        return Lines::Cancelled;
    }
    positions.assign(vertexLimit_, Vec3{});
    badVertex.assign(vertexLimit_, 0);
    if (report_.colors) colors.assign(vertexLimit_, 0);
    if (report_.texCoords) texCoords.assign(vertexLimit_, TexCoord{0, 0});

    const char* const data = reinterpret_cast<const char*>(bytes_.data());
    const std::string_view body(data + header_.bodyOffset, bodyBytes);
    const std::vector<std::size_t> starts = Line_Chunk_Starts(body, kLinePieces);
    const std::size_t count = starts.size();
    // A piece's first record is the number of lines before it, when every line is one record.
    std::vector<std::uint64_t> lines(count, 0);
    std::atomic<std::size_t> nextPiece{0};
    auto countLines = [&] {
        for (std::size_t i; (i = nextPiece.fetch_add(1)) + 1 < count;)
            lines[i + 1] = Count_Lines(body.data() + starts[i], body.data() + starts[i + 1]);
    };
    Run_Beside(count > 1, countLines, countLines);
    std::vector<std::uint64_t> first(count + 1, total);
    for (std::size_t i = 0; i < count; ++i) {
        lines[i] += i > 0 ? lines[i - 1] : 0;
        first[i] = std::min(total, lines[i]);
    }

    // Room for triangles as the shortest face line ("3 0 1 2") gives them; more comes as needed.
    // The first piece's go straight to the mesh's faces, the others' are joined after them.
    faces.reserve(std::size_t(std::min<std::uint64_t>(faceElement->count, bodyBytes / 8)));
    std::vector<std::vector<FaceIndex>> pieceFaces(count);
    std::atomic<bool> stop{false};
    std::atomic<std::size_t> doneBytes{0};
    std::vector<LinePiece> pieces(count);
    for (std::size_t i = 0; i < count; ++i) {
        LinePiece& piece = pieces[i];
        piece.begin = piece.at = body.data() + starts[i];
        piece.end = body.data() + body.size();
        piece.limit = i + 1 < count ? body.data() + starts[i + 1] : nullptr;
        piece.faces = i == 0 ? &faces : &pieceFaces[i];
        piece.stop = &stop;
        piece.doneBytes = &doneBytes;
    }
    // Records from the piece's first to the last of the body, or to the piece's limit.
    auto read = [&](std::size_t i, bool main) {
        LinePiece& piece = pieces[i];
        piece.main = main;
        piece.next = first[i];
        if (i > 0) {
            std::uint64_t records = 0;  // face records in the piece
            for (const Run& run : runs)
                if (run.element == faceElement) {
                    const std::uint64_t end = run.first + run.element->count;
                    records = std::min(end, std::max(run.first, first[i + 1])) -
                              std::min(end, std::max(run.first, first[i]));
                }
            const auto bytes = std::uint64_t((piece.limit ? piece.limit : piece.end) - piece.begin);
            piece.faces->reserve(std::size_t(std::min<std::uint64_t>(records, bytes / 8 + 1)));
        }
        for (const Run& run : runs) {
            if (piece.next >= run.first + run.element->count) continue;
            if (piece.at == piece.limit) break;
            if (!Line_Records(piece, *run.element, run.first, piece.next - run.first, run.element->count)) {
                piece.next = ~std::uint64_t(0);
                stop.store(true);
                return;
            }
        }
        doneBytes.fetch_add(std::size_t((piece.limit ? piece.limit : piece.end) - piece.begin));
    };
    nextPiece.store(0);
    auto readPieces = [&](bool main) {
        for (std::size_t i; !stop.load() && (i = nextPiece.fetch_add(1)) < count;) read(i, main);
    };
    Run_Beside(
        count > 1, [&] { readPieces(false); }, [&] { readPieces(true); });
    if (problem == "reading cancelled") return Lines::Cancelled;
    // Each piece ends where the next begins: every line before it was one record.
    for (std::size_t i = 0; i < count; ++i) {
        if (pieces[i].next != first[i + 1]) return Lines::Other;
        if (first[i + 1] < total && pieces[i].at != pieces[i].limit) return Lines::Other;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            faces.insert(faces.end(), pieceFaces[i].begin(), pieceFaces[i].end());
            pieceFaces[i] = {};
        }
        report_.facesRead += pieces[i].facesRead;
        report_.facesDropped += pieces[i].facesDropped;
        if (first[i] < total) pos_ = std::size_t(pieces[i].at - data);
    }
    verticesRead = vertexElement->count;
    verticesDone = true;
    return Lines::Done;
}

const char* Encoding_Name(Encoding encoding) {
    switch (encoding) {
        case Encoding::Ascii:
            return "PLY ascii";
        case Encoding::Little:
            return "PLY binary little-endian";
        case Encoding::Big:
            return "PLY binary big-endian";
    }
    return "PLY";
}

Role Vertex_Role(const std::string& name) {
    if (name == "x") return Role::X;
    if (name == "y") return Role::Y;
    if (name == "z") return Role::Z;
    if (name == "red" || name == "r" || name == "diffuse_red") return Role::Red;
    if (name == "green" || name == "g" || name == "diffuse_green") return Role::Green;
    if (name == "blue" || name == "b" || name == "diffuse_blue") return Role::Blue;
    if (name == "u" || name == "s" || name == "texture_u" || name == "texture_s") return Role::U;
    if (name == "v" || name == "t" || name == "texture_v" || name == "texture_t") return Role::V;
    return Role::Skip;
}

Status Read_Body(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                 const MeshFileOptions& options, MeshFileReport& report, int startMs) {
    Header header;
    if (Status parsed = Parse_Header(bytes, name, header); !parsed) return parsed;
    report.format = Encoding_Name(header.encoding);

    Element* vertex = nullptr;
    Element* face = nullptr;
    std::vector<std::string> skipped;
    for (Element& element : header.elements) {
        if (element.name == "vertex" && !vertex) {
            vertex = &element;
            bool has[3] = {false, false, false};
            bool hasColor[3] = {false, false, false};
            bool hasUv[2] = {false, false};
            for (Property& p : element.properties) {
                if (p.list) continue;
                p.role = Vertex_Role(p.name);
                // A property named twice counts once; the later one is skipped.
                auto claim = [&p](bool& flag) {
                    if (flag) p.role = Role::Skip;
                    flag = true;
                };
                if (p.role >= Role::X && p.role <= Role::Z)
                    claim(has[int(p.role) - int(Role::X)]);
                else if (p.role >= Role::Red && p.role <= Role::Blue)
                    claim(hasColor[int(p.role) - int(Role::Red)]);
                else if (p.role == Role::U || p.role == Role::V)
                    claim(hasUv[int(p.role) - int(Role::U)]);
            }
            if (!has[0] || !has[1] || !has[2])
                return Status::Error(name + ": line " + std::to_string(element.line) +
                                     ": the vertex element has no x, y and z");
            report.colors = hasColor[0] && hasColor[1] && hasColor[2];
            report.texCoords = hasUv[0] && hasUv[1];
            if (!report.colors)
                for (Property& p : element.properties)
                    if (p.role >= Role::Red && p.role <= Role::Blue) p.role = Role::Skip;
            if (!report.texCoords)
                for (Property& p : element.properties)
                    if (p.role == Role::U || p.role == Role::V) p.role = Role::Skip;
            report.verticesDeclared = element.count;
        } else if (element.name == "face" && !face) {
            face = &element;
            for (Property& p : element.properties) {
                if (p.list && (p.name == "vertex_indices" || p.name == "vertex_index")) {
                    if (p.type == Type::Float32 || p.type == Type::Float64) {
                        return Status::Error(name + ": line " + std::to_string(element.line) +
                                             ": face indices of a floating-point type");
                    }
                    p.role = Role::Indices;
                    break;
                }
            }
            report.facesDeclared = element.count;
        } else {
            skipped.push_back(element.name);
        }
    }
    if (!vertex) return Status::Error(name + ": no vertex element");
    if (!face || face->count == 0) return Status::Error(name + ": no faces");
    if (std::none_of(face->properties.begin(), face->properties.end(),
                     [](const Property& p) { return p.role == Role::Indices; }))
        return Status::Error(name + ": no faces (the face element has no vertex_indices list)");
    if (!skipped.empty()) {
        std::string note = "skipped elements:";
        for (const std::string& s : skipped) note += " " + s;
        report.notes.push_back(note);
    }
    if (vertex->count > kMaxVertices)
        return Status::Error(name + ": " + std::to_string(vertex->count) +
                             " vertices are more than this program can number");
    PlyBody body(bytes, header, options, report);
    body.vertexElement = vertex;
    body.faceElement = face;
    std::vector<std::string> problems;
    if (!body.Read()) {
        if (body.problem == "reading cancelled") {
            mesh.FreeFaces();
            mesh.FreeVertices();
            return Status::Error(name + ": reading cancelled");
        }
        problems.push_back(body.problem);
    }

    // Faces read before the vertices, or past the vertices a torn file held: check them now.
    // Only records actually read are vertices: a torn vertex element leaves its tail unread.
    body.positions.resize(std::size_t(body.verticesRead));
    body.badVertex.resize(body.positions.size());
    if (!body.colors.empty()) body.colors.resize(body.positions.size());
    if (!body.texCoords.empty()) body.texCoords.resize(body.positions.size());
    const std::size_t V = body.positions.size();
    if (!body.verticesDone || report.verticesNonFinite || V < body.VertexLimit()) {
        const std::uint64_t dropped =
            Remove_Bad_Vertices(body.badVertex, body.positions, body.colors, body.texCoords, body.faces);
        report.facesDropped += dropped;
        report.facesRead -= std::min(report.facesRead, dropped);
    }
    if (body.faces.empty() && problems.empty()) problems.push_back("no usable faces");
    Finish_Mesh(mesh, body.positions, body.colors, body.texCoords, body.faces, options, report, startMs);
    return Make_Status(name, problems, report);
}

}  // namespace

Status Read_PLY(UniOb& mesh, std::span<const unsigned char> bytes, const std::string& name,
                const MeshFileOptions& options) {
    return Read_Mesh_Bytes(mesh, bytes, name, options, Read_Body);
}

Status Read_PLY_File(UniOb& mesh, const std::string& path, const MeshFileOptions& options) {
    return Read_Mesh_Path(mesh, path, options, Read_Body);
}

}  // namespace orvex
