#include "cli/config_file.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "os/file_system.h"

namespace segweld::cli {
namespace {

constexpr uint64_t kLargestFile = 1 << 20;

std::string Trim(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) {
        return "";
    }
    return text.substr(begin, text.find_last_not_of(" \t\r") + 1 - begin);
}

}  // namespace

bool SplitWords(const std::string& value, std::vector<std::string>& words) {
    std::string word;
    bool quoted = false;
    bool inWord = false;
    for (const char c : value) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) {
                words.push_back(word);
            }
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return !quoted;
}

namespace {

const OptionSpec* FindKey(const ProgramSpec& program, const std::string& key, size_t& row) {
    for (row = 0; row < program.options.size(); ++row) {
        const OptionSpec& option = *program.options[row];
        if (!option.commandLineOnly && key == option.name) {
            return &option;
        }
    }
    return nullptr;
}

// Reads the lines of one file in turn.
class ConfigReader {
  public:
    ConfigReader(const ProgramSpec& program, int mode, const std::string& path,
                 const std::vector<const char*>& pathKeys)
        : program_(program), mode_(mode), path_(path), pathKeys_(pathKeys) {}

    // Takes line `number`; on a bad line sets entries.error and returns false.
    bool TakeLine(const std::string& line, size_t number, ConfigEntries& entries) {
        const std::string why = Check(Trim(line), number, entries);
        if (!why.empty()) {
            entries.error = path_ + ":" + std::to_string(number) + ": " + why;
        }
        return why.empty();
    }

  private:
    // Why the line is bad, or "" when it was taken.
    std::string Check(const std::string& line, size_t number, ConfigEntries& entries) {
        if (line.empty() || line.front() == '#') {
            return "";
        }
        const size_t equals = line.find('=');
        const bool hasValue = equals != std::string::npos;
        const std::string key = Trim(line.substr(0, equals));
        const std::string value = hasValue ? Trim(line.substr(equals + 1)) : "";
        const auto [first, fresh] = seen_.emplace(key, number);
        if (!fresh) {
            return key + " is given twice (first on line " + std::to_string(first->second) + ")";
        }
        if (IsPathKey(key)) {
            entries.paths[key] = value;
            return value.empty() ? key + " needs a folder" : "";
        }
        size_t row = 0;
        const OptionSpec* option = FindKey(program_, key, row);
        if (option == nullptr) {
            return "unknown key '" + key + "'";
        }
        if ((option->modes & ModeBit(mode_)) == 0) {
            return WrongModeText(program_, key, *option, mode_);
        }
        std::vector<std::string> words;
        if (option->value == nullptr) {
            if (hasValue) {
                return key + " takes no value";
            }
        } else if (!option->rest) {
            words.push_back(value);
        } else if (!SplitWords(value, words)) {
            return key + " holds a double quote that is not closed";
        }
        if (option->value != nullptr && (value.empty() || words.empty())) {
            return key + " needs " + option->rule;
        }
        entries.given.push_back(
            {row, key, std::move(words), 0, path_ + ":" + std::to_string(number)});
        return "";
    }

    bool IsPathKey(const std::string& key) const {
        return std::any_of(pathKeys_.begin(), pathKeys_.end(),
                           [&](const char* name) { return key == name; });
    }

    const ProgramSpec& program_;
    const int mode_;
    const std::string& path_;
    const std::vector<const char*>& pathKeys_;
    std::map<std::string, size_t> seen_;  // the line of each key
};

}  // namespace

ConfigEntries ParseConfigText(const ProgramSpec& program, int mode, const std::string& path,
                              const std::string& text, const std::vector<const char*>& pathKeys) {
    ConfigEntries entries;
    ConfigReader reader(program, mode, path, pathKeys);
    size_t number = 1;
    const std::string_view byteOrderMark = "\xEF\xBB\xBF";  // as some Windows editors write
    for (size_t start = text.starts_with(byteOrderMark) ? byteOrderMark.size() : 0;
         start < text.size(); ++number) {
        const size_t end = std::min(text.find('\n', start), text.size());
        if (!reader.TakeLine(text.substr(start, end - start), number, entries)) {
            break;
        }
        start = end + 1;
    }
    return entries;
}

ConfigEntries ReadConfigFile(const ProgramSpec& program, int mode, const std::string& path,
                             const std::vector<const char*>& pathKeys) {
    ConfigEntries entries;
    os::InputFile file;
    if (file.Open(path) != os::InputFile::Outcome::Opened) {
        entries.error =
            path + ": " + (file.error().empty() ? std::string("no such file") : file.error());
        return entries;
    }
    if (file.size() > kLargestFile) {
        entries.error = path + ": larger than a configuration file can be (1 MiB)";
        return entries;
    }
    std::string text(file.size(), '\0');
    try {
        text.resize(file.ReadAt(
            0, std::span<uint8_t>(reinterpret_cast<uint8_t*>(text.data()), text.size())));
    } catch (const os::ReadError& error) {
        entries.error = error.what();
        return entries;
    }
    return ParseConfigText(program, mode, path, text, pathKeys);
}

}  // namespace segweld::cli
