#include "SettingsFile.h"

#include "HexText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace r8 {

namespace {

constexpr uint8_t kDataCommand = 0x21, kEepromGroup = 0x0C, kResetCommand = 0xF1;

void PutRecord(char* line, uint8_t p1, uint8_t p2, int address, int value) {
    std::memset(line, '0', 30);
    HexByteToBuf(p1, line);
    HexByteToBuf(p2, line + 2);
    HexByteToBuf(static_cast<uint8_t>(address >> 8), line + 4);
    HexByteToBuf(static_cast<uint8_t>(address), line + 6);
    HexByteToBuf(static_cast<uint8_t>(value >> 8), line + 8);
    HexByteToBuf(static_cast<uint8_t>(value), line + 10);
    line[30] = '\r';
    line[31] = '\n';
}

std::string SystemCause(int error) {
    return std::strerror(error);
}

} // namespace

std::string SettingsFileText(const int32_t* words) {
    std::string text(kRecordSize * (kDataRecords + 1), '0');
    char* line = text.data();
    for (int i = 0; i < kDataRecords; ++i, line += kRecordSize)
        PutRecord(line, kDataCommand, kEepromGroup, i, words[i]);
    PutRecord(line, kResetCommand, 0x00, 0, 0);
    return text;
}

int SettingsFile::FirstMissingWord() const {
    for (int i = 0; i < kDataRecords; ++i)
        if (words[static_cast<size_t>(i)] == kNoWord) return i;
    return -1;
}

std::string ParseSettingsText(std::string_view text, SettingsFile& out) {
    out = SettingsFile{};
    int lineNo = 0;
    while (!text.empty()) {
        const size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text = lf == std::string_view::npos ? std::string_view{} : text.substr(lf + 1);
        ++lineNo;
        if (!line.empty() && line.front() == '\x1A') break;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        if (out.hasEnd) return where + "a record after the end record (F1)";
        if (line.size() != 2 * kPayloadSize)
            return where + "a record has 30 hexadecimal digits, this line has " +
                   std::to_string(line.size()) + " characters";
        RecordPayload p{};
        for (size_t i = 0; i < kPayloadSize; ++i) {
            const int v = ParsePairAt(line.data() + 2 * i);
            if (v < 0) return where + "not a hexadecimal digit in \"" + std::string(line) + "\"";
            p[i] = static_cast<uint8_t>(v);
        }
        if (p[0] == kResetCommand) {
            out.hasEnd = true;
        } else if (p[0] == kDataCommand && p[1] == kEepromGroup) {
            const int address = p[2] << 8 | p[3];
            if (address >= kEepromWords)
                return where + "address " + HexWord(address) + " is above 03FF";
            out.words[static_cast<size_t>(address)] = p[4] << 8 | p[5];
        } else {
            return where + "neither an EEPROM word record (210C) nor the end record (F1)";
        }
        out.records.push_back(p);
    }
    if (out.records.empty()) return "no records";
    return {};
}

std::string ReadSettingsFile(const std::string& path, SettingsFile& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return path + ": cannot open: " + SystemCause(errno);
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return path + ": cannot read: " + SystemCause(errno);
    std::string error = ParseSettingsText(text.str(), out);
    return error.empty() ? error : path + ": " + error;
}

std::string CheckBlockImage(const SettingsFile& file, const std::string& path) {
    const int missing = file.FirstMissingWord();
    if (missing < 0) return {};
    return path + ": word " + HexWord(missing) +
           " has no record; a batch write needs every word from 0000 to 03FE";
}

std::string ReplaceFile(const std::string& path, std::string_view text) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    // Appended piece by piece: "literal" + std::string&& draws a false -Wrestrict from GCC 12
    // at -O3.
    std::string hidden = ".";
    hidden += target.filename().string();
    hidden += ".XXXXXX";
    std::string temp = (folder / hidden).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return "cannot create a file in " + folder.string() + ": " + SystemCause(errno);
    auto fail = [&](const char* what) {
        const std::string cause = std::string(what) + ": " + SystemCause(errno);
        ::unlink(temp.c_str());
        return cause;
    };
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const std::string cause = fail("cannot write");
            ::close(fd);
            return cause;
        }
        done += static_cast<size_t>(n);
    }
    // The file keeps the mode of the one it replaces; a new one gets the usual permissions
    // instead of mkstemp's owner-only ones.
    struct stat old {};
    mode_t mode = 0;
    if (::stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    if (::fsync(fd) != 0) {
        const std::string cause = fail("cannot flush");
        ::close(fd);
        return cause;
    }
    if (::close(fd) != 0) return fail("cannot close");
    if (::rename(temp.c_str(), path.c_str()) != 0) return fail("cannot rename over the target");
    return {};
}

std::vector<WordDifference> CompareImages(const WordImage& first, const WordImage& second) {
    std::vector<WordDifference> out;
    for (int i = 0; i < kDataRecords; ++i) {
        const auto k = static_cast<size_t>(i);
        if (first[k] != second[k]) out.push_back({i, first[k], second[k]});
    }
    return out;
}

} // namespace r8
