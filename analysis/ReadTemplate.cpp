#include "analysis/ReadTemplate.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "geometry/CFloat.h"

namespace orvex {

namespace {

bool Is_Space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

class Words {
public:
    explicit Words(std::string_view text) : text_(text) {}
    bool Next(std::string_view& word) {
        while (at_ < text_.size() && Is_Space(text_[at_])) ++at_;
        if (at_ >= text_.size()) return false;
        const std::size_t begin = at_;
        while (at_ < text_.size() && !Is_Space(text_[at_])) ++at_;
        word = text_.substr(begin, at_ - begin);
        ++count_;
        return true;
    }
    std::size_t Left() const { return text_.size() - at_; }
    std::size_t Count() const { return count_; }

private:
    std::string_view text_;
    std::size_t at_ = 0;
    std::size_t count_ = 0;
};

bool Is_Size_Word(std::string_view word) {
    if (word.size() != 4) return false;
    for (int k = 0; k < 4; ++k)
        if ((word[k] | 0x20) != "size"[k]) return false;
    return true;
}

std::string Quoted(std::string_view word) {
    constexpr std::size_t kShown = 40;
    std::string quoted = "\"";
    quoted.append(word.substr(0, kShown));
    quoted.append(word.size() > kShown ? "...\"" : "\"");
    return quoted;
}

}  // namespace

Status ReadTemplate_Text(UniOb& mesh, const std::string& text, const std::string& name) {
    const std::string kept = "; the template is unchanged";
    Words words(text);
    std::vector<Record10> records;
    bool sized = false;
    std::string_view word;
    while (words.Next(word)) {
        if (!Is_Size_Word(word)) continue;
        std::string_view countWord;
        if (!words.Next(countWord)) return Status::Error(name + ": the file ends after SIZE" + kept);
        long long count = 0;
        const bool plus =
            countWord.size() > 1 && countWord[0] == '+' && countWord[1] >= '0' && countWord[1] <= '9';
        const char* first = countWord.data() + (plus ? 1 : 0);
        const auto parsed = std::from_chars(first, countWord.data() + countWord.size(), count);
        if (parsed.ec != std::errc() || parsed.ptr != countWord.data() + countWord.size())
            return Status::Error(name + ": the record count " + Quoted(countWord) +
                                 " after SIZE is not a number" + kept);
        // Nine numbers and their separators take at least 18 bytes a record.
        if (count < 0)
            return Status::Error(name + ": SIZE " + std::to_string(count) + " is no record count" + kept);
        if ((unsigned long long)(count) > (words.Left() + 1) / 18)
            return Status::Error(name + ": SIZE " + std::to_string(count) +
                                 " is more records than the file holds" + kept);
        records.assign(std::size_t(count), Record10{});
        for (long long r = 0; r < count; ++r) {
            for (int k = 0; k < 9; ++k) {
                const std::string where =
                    name + ": record " + std::to_string(r + 1) + " of " + std::to_string(count);
                if (!words.Next(word)) return Status::Error(where + " ends early" + kept);
                const std::optional<float> value = Parse_C_Float(word, true);
                if (!value)
                    return Status::Error(where + ", value " + std::to_string(k + 1) + ": " + Quoted(word) +
                                         " is not a number" + kept);
                records[std::size_t(r)][k] = *value;
            }
        }
        sized = true;
    }
    if (!sized) return Status::Ok();
    mesh.AllocTemplates(unsigned(records.size()));
    mesh.Template_Records = std::move(records);
    return Status::Ok();
}

Status ReadTemplate(UniOb& mesh, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return Status::Error(path + ": " + std::strerror(errno));
    std::string text;
    char buffer[1 << 16];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) return Status::Error(path + ": " + std::strerror(error));
    return ReadTemplate_Text(mesh, text, path);
}

}  // namespace orvex
