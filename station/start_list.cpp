#include "station/start_list.h"

#include <algorithm>
#include <cstdio>

#include "join/segment_name.h"
#include "os/file_system.h"

namespace segweld::station {
namespace {

std::optional<std::string> ReadAll(const std::string& path, std::string& error) {
    std::string text;
    if (path == "-") {
        char buffer[1 << 16];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
            text.append(buffer, got);
        }
        return text;
    }
    os::InputFile file;
    if (file.Open(path) != os::InputFile::Outcome::Opened) {
        error = "cannot read the list " + path + ": " + file.error();
        return std::nullopt;
    }
    text.resize(file.size());
    try {
        text.resize(
            file.ReadAt(0, std::span(reinterpret_cast<uint8_t*>(text.data()), text.size())));
    } catch (const os::ReadError& failure) {
        error = failure.what();
        return std::nullopt;
    }
    return text;
}

std::string Trimmed(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.pop_back();
    }
    return line;
}

std::string WithForwardSlashes(std::string path) {
    if (kFolderSeparator != '/') {
        std::replace(path.begin(), path.end(), kFolderSeparator, '/');
    }
    return path;
}

// `path` ('/' between folders) without empty and "." steps; a leading '/'
// stays (two on Windows, for a share's \\server\share).
std::string Plain(const std::string& path) {
    const size_t leading = std::min<size_t>(path.find_first_not_of('/'), path.size());
    std::string plain = path.substr(0, std::min<size_t>(leading, kFolderSeparator == '/' ? 1 : 2));
    const size_t rootLength = plain.size();
    for (size_t at = leading; at < path.size();) {
        const size_t end = std::min(path.find('/', at), path.size());
        const std::string step = path.substr(at, end - at);
        if (!step.empty() && step != ".") {
            plain += (plain.size() > rootLength ? "/" : "") + step;
        }
        at = end + 1;
    }
    return plain.empty() ? "." : plain;
}

bool IsAbsolute(const std::string& path) {
    return path.starts_with("/") || (path.size() > 1 && path[1] == ':');
}

bool LeadsUp(const std::string& relative) {
    return relative == ".." || relative.starts_with("../") ||
           relative.find("/../") != std::string::npos || relative.ends_with("/..");
}

// `line` relative to the input folder; nullopt when it lies outside it.
std::optional<std::string> Relative(const std::string& line, const std::string& inputFolder) {
    const std::string path = Plain(WithForwardSlashes(line));
    const std::string root = Plain(WithForwardSlashes(inputFolder));
    std::string relative = path;
    if (path == root) {
        relative = ".";
    } else if (path.starts_with(root.ends_with('/') ? root : root + "/")) {
        relative = path.substr(root.size() + (root.ends_with('/') ? 0 : 1));
    } else if (IsAbsolute(path)) {
        return std::nullopt;
    }
    if (LeadsUp(relative)) {
        return std::nullopt;
    }
    return relative == "." ? "" : relative;
}

}  // namespace

std::optional<std::vector<StartEntry>> ReadStartList(const std::string& listPath,
                                                     const std::string& inputFolder,
                                                     std::string& error) {
    const std::optional<std::string> text = ReadAll(listPath, error);
    if (!text) {
        return std::nullopt;
    }
    std::vector<StartEntry> starts;
    size_t at = 0;
    for (int number = 1; at < text->size(); ++number) {
        const size_t end = std::min(text->find('\n', at), text->size());
        const std::string line = Trimmed(text->substr(at, end - at));
        at = end + 1;
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto relative = Relative(line, inputFolder);
        if (!relative) {
            error = "line " + std::to_string(number) + " of the list " + listPath + " names " +
                    line + ", which does not lie in " + inputFolder;
            return std::nullopt;
        }
        starts.push_back({*relative, line, number});
    }
    return starts;
}

}  // namespace segweld::station
