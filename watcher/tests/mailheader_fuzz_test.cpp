// The mail header reader under a stream of generated and mutated files:
// realistic headers with flipped, inserted and deleted bytes, NULs, 0xFF,
// CR/LF/form-feed oddities, lines around the 4095-character limit, fields
// spanning the 16 KB read buffer, missing header blocks. Whatever comes in,
// the reader must not crash, must write nothing outside the record or line
// buffer it is given, and must leave every field terminated within its size.
//
// Input i of a run is made by a generator seeded from the run's seed and i
// alone, so a failure, which names both, can be replayed by itself:
//   KW_FUZZ_SEED=<seed> KW_FUZZ_INPUT=<i>
// KW_LONG_SOAK=1 runs five times as many inputs.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "mail.h"
#include "wintest.h"

namespace {

constexpr uint64_t kDefaultSeed = 0x7D1BE11;
constexpr long kDefaultInputs = 100000;
constexpr long kLongInputs = 500000;
// Every this many inputs, the file is read line by line with line buffers
// of odd sizes instead of through ReadMailHeader.
constexpr long kLineModeEvery = 4;
constexpr int kMaxReported = 5;

constexpr size_t kGuard = 64;
constexpr unsigned char kGuardByte = 0xA5;
const char kUntouched[] = "\x01untouched";

uint64_t EnvNumber(const char* name, uint64_t fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 0) : fallback;
}

// SplitMix64: small, fast, and fully determined by its seed.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint32_t Next()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
    }
    uint32_t Below(uint32_t n) { return Next() % n; }
    bool OneIn(uint32_t n) { return Below(n) == 0; }
    template <size_t N>
    const char* Pick(const char* const (&list)[N]) { return list[Below(N)]; }

private:
    uint64_t state_;
};

// ---------------------------------------------------------------- inputs

const char* const kNames[] = {
    "From", "To", "Date", "Subject", "Organization", "Priority", "X-Priority", "Reply-To", "In-Reply-To",
    "Resent-From", "Message-ID", "Received", "Cc", "MIME-Version", "Content-Type", "X-Mailer", "Return-Path",
    "Sender", "X-Filler", "",
};
const char* const kValues[] = {
    "\"Ann Example\" <ann@example.com>", "ann@example.com", "\"Mail Desk", "\"\"", "\" \"x\"",
    "Mon, 13 Oct 1997 09:41:07 -0400", "Quarterly   figures\t(draft)  ", "3 (Normal)",
    "<1997101309.AA01@example.com>", "from relay.example.net by mx.example.com; Mon, 13 Oct 1997",
    "text/plain; charset=iso-8859-1", "Kestrel Apps", "", "   ", "\xE9t\xE9 \xA0", "From: To: Date:",
};
const char* const kLineEnds[] = {"\r\n", "\n", "\r", "\n\r", "\r\r\n", "\f", "\r\n\f"};
// Bytes that end, split or colour a line.
const char kSpecials[] = {'\0', '\xFF', '\r', '\n', '\f', ':', '"', ' ', '\t', '\v', 'F', 'o'};

// Lengths around the line buffer and the read buffer, where off-by-ones live.
size_t EdgeLength(Rng& rng)
{
    static const size_t kEdges[] = {4085, 4094, 4095, 4096, 4097, 5000, 16383, 16384, 16385, 20000};
    return kEdges[rng.Below(sizeof kEdges / sizeof kEdges[0])] - 8 + rng.Below(16);
}

std::string RandomText(Rng& rng, size_t length)
{
    std::string text(length, ' ');
    for (char& c : text) c = static_cast<char>(rng.OneIn(8) ? rng.Below(256) : 32 + rng.Below(95));
    return text;
}

std::string CaseOf(Rng& rng, std::string name)
{
    const uint32_t style = rng.Below(4);
    for (char& c : name) {
        if (style == 1 && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (style == 2 && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

// A message as a mail client writes it: header lines, an empty line, a
// body; with some probability a block is missing, folded, padded or huge.
std::string BaseMessage(Rng& rng)
{
    std::string text;
    const char* end = rng.Pick(kLineEnds);
    const bool mixedEnds = rng.OneIn(5);
    const auto lineEnd = [&] { return mixedEnds ? rng.Pick(kLineEnds) : end; };

    // Filler so that what follows straddles the end of the first buffer fill.
    if (rng.OneIn(25)) {
        const size_t bufferEnd = kReadBufferSize;
        while (text.size() < bufferEnd - 60) text += "X-Filler: 0123456789abcdefghijklmnopqrstuvwxyz\r\n";
        text += std::string(bufferEnd - 8 + rng.Below(16) - text.size(), 'f');
        text += lineEnd();
    }
    if (rng.OneIn(20)) text += lineEnd(); // the header ends before it starts

    const uint32_t lines = rng.Below(14);
    for (uint32_t n = 0; n < lines; ++n) {
        text += CaseOf(rng, rng.Pick(kNames));
        static const char* const kColons[] = {": ", ":", " : ", ":\t", "", "::"};
        text += rng.OneIn(3) ? ": " : rng.Pick(kColons);
        const uint32_t kind = rng.Below(20);
        if (kind == 0)
            text += std::string(EdgeLength(rng), static_cast<char>(rng.OneIn(2) ? 'v' : ' '));
        else if (kind == 1)
            text += RandomText(rng, EdgeLength(rng));
        else if (kind < 8)
            text += RandomText(rng, rng.Below(100));
        else
            text += rng.Pick(kValues);
        text += lineEnd();
        if (rng.OneIn(8)) { // a folded continuation
            text += rng.OneIn(2) ? "\t" : "    ";
            text += rng.Pick(kValues);
            text += lineEnd();
        }
    }
    if (!rng.OneIn(8)) text += lineEnd(); // no empty line: read to the end
    const uint32_t body = rng.Below(4);
    for (uint32_t n = 0; n < body; ++n) {
        text += rng.OneIn(3) ? "Subject: from the body" : RandomText(rng, rng.Below(200));
        text += lineEnd();
    }
    return text;
}

void Mutate(Rng& rng, std::string& text)
{
    const uint32_t count = rng.Below(7);
    for (uint32_t n = 0; n < count; ++n) {
        const size_t at = text.empty() ? 0 : rng.Below(static_cast<uint32_t>(text.size() + 1));
        const size_t atByte = at < text.size() ? at : (text.empty() ? 0 : text.size() - 1);
        switch (rng.Below(9)) {
        case 0: // flip a bit
            if (!text.empty()) text[atByte] = static_cast<char>(text[atByte] ^ (1 << rng.Below(8)));
            break;
        case 1: // overwrite with a line-ending, NUL or field byte
            if (!text.empty()) text[atByte] = kSpecials[rng.Below(sizeof kSpecials)];
            break;
        case 2: // insert a short run of such bytes
            for (uint32_t k = rng.Below(4) + 1; k > 0; --k)
                text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), kSpecials[rng.Below(sizeof kSpecials)]);
            break;
        case 3: // delete a range
            text.erase(at, rng.Below(32) + 1);
            break;
        case 4: // duplicate a range
            if (at < text.size()) text.insert(at, text.substr(at, rng.Below(64) + 1));
            break;
        case 5: { // a long run of one byte: huge fields and lines
            const char fill =
                rng.OneIn(2) ? kSpecials[rng.Below(sizeof kSpecials)] : static_cast<char>('A' + rng.Below(26));
            text.insert(at, std::string(EdgeLength(rng), fill));
            break;
        }
        case 6: // random bytes
            text.insert(at, RandomText(rng, rng.Below(48) + 1));
            break;
        case 7: // cut the file short
            text.resize(at);
            break;
        default: // NULs where a keyword or colon was
            text.insert(at, std::string(rng.Below(6) + 1, '\0'));
            break;
        }
        if (text.size() > 96 * 1024) text.resize(96 * 1024);
    }
}

std::string MakeInput(uint64_t seed, long index)
{
    Rng rng(seed ^ (static_cast<uint64_t>(index) * 0xD1B54A32D192ED03ull));
    std::string text = BaseMessage(rng);
    if (!rng.OneIn(6)) Mutate(rng, text);
    return text;
}

// ---------------------------------------------------------------- checks

bool GuardIntact(const unsigned char* guard)
{
    for (size_t i = 0; i < kGuard; ++i)
        if (guard[i] != kGuardByte) return false;
    return true;
}

bool IsWhite(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// A record between two guard areas.
struct GuardedRecord {
    unsigned char before[kGuard];
    MailRecord record;
    unsigned char after[kGuard];
};

struct FieldOf {
    const char* name;
    size_t offset;
};
const FieldOf kFields[] = {
    {"from", offsetof(MailRecord, from)},       {"fromName", offsetof(MailRecord, fromName)},
    {"to", offsetof(MailRecord, to)},           {"date", offsetof(MailRecord, date)},
    {"organization", offsetof(MailRecord, organization)}, {"subject", offsetof(MailRecord, subject)},
    {"priority", offsetof(MailRecord, priority)},
};

char* Field(MailRecord& m, const FieldOf& field)
{
    return reinterpret_cast<char*>(&m) + field.offset;
}

void Prepare(GuardedRecord& g)
{
    std::memset(&g, kGuardByte, sizeof g);
    for (const FieldOf& field : kFields) std::memcpy(Field(g.record, field), kUntouched, sizeof kUntouched);
    std::memcpy(g.record.path, kUntouched, sizeof kUntouched);
}

// Empty when all is well, else what is wrong.
std::string CheckRecord(GuardedRecord& g, int result, const std::string& path)
{
    if (!GuardIntact(g.before)) return "written before the record";
    if (!GuardIntact(g.after)) return "written past the record";
    if (result != 1) return "ReadMailHeader returned " + std::to_string(result);
    for (const FieldOf& field : kFields)
        if (!std::memchr(Field(g.record, field), 0, kHeaderFieldSize)) return std::string("unterminated ") + field.name;
    if (!std::memchr(g.record.path, 0, kMailPathSize) || path != g.record.path) return "wrong path";

    // Every stored value but the display name (a part of the sender, taken
    // as it stands) has been through trim: no white space at either end and
    // none but single blanks inside.
    for (const FieldOf& field : kFields) {
        const char* v = Field(g.record, field);
        if (field.offset == offsetof(MailRecord, fromName) || std::strcmp(v, kUntouched) == 0) continue;
        const size_t length = std::strlen(v);
        if (length && (IsWhite(v[0]) || IsWhite(v[length - 1]))) return std::string("untrimmed ") + field.name;
        for (size_t k = 0; k < length; ++k)
            if ((IsWhite(v[k]) && v[k] != ' ') || (v[k] == ' ' && k + 1 < length && v[k + 1] == ' '))
                return std::string("inner white space left in ") + field.name;
    }
    // The display name comes with the sender and from it.
    const MailRecord& m = g.record;
    const bool fromWritten = std::strcmp(m.from, kUntouched) != 0;
    if (fromWritten != (std::strcmp(m.fromName, kUntouched) != 0)) return "fromName without from, or from without it";
    if (fromWritten) {
        std::string expected = m.from;
        if (m.from[0] == '"') {
            const size_t close = expected.find('"', 1);
            expected = expected.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        }
        if (expected != m.fromName) return "fromName is not taken from from";
    }
    return {};
}

// The reader's 16 KB block, with a guard area behind it (a block handed to
// the reader goes back with std::free, so nothing can sit before it).
unsigned char* readBlock;
size_t readBlockSize;

void* GuardedAlloc(std::size_t size)
{
    auto* block = static_cast<unsigned char*>(std::malloc(size + kGuard));
    if (block) std::memset(block + size, kGuardByte, kGuard);
    readBlock = block;
    readBlockSize = size;
    return block;
}

// Empty when one line read into the buffer inside `area` is sound.
std::string CheckLine(const unsigned char* area, int size, int got)
{
    const char* line = reinterpret_cast<const char*>(area + kGuard);
    if (!GuardIntact(area)) return "written before the line buffer";
    if (!GuardIntact(area + kGuard + size)) return "written past a line buffer of " + std::to_string(size);
    if (!GuardIntact(readBlock + readBlockSize)) return "written past the read buffer";
    if (got < -1 || got > size - 1)
        return "line length " + std::to_string(got) + " for a buffer of " + std::to_string(size);
    if (line[got < 0 ? 0 : got] != '\0') return "line not terminated after its characters";
    // A zero byte reads as a blank, so the line holds no zero of its own.
    if (got >= 0 && std::strlen(line) != static_cast<size_t>(got)) return "stored characters and result disagree";
    const int code = ClassifyHeaderLine(line);
    if (code < kFieldFrom || code > kFieldNone) return "field code " + std::to_string(code);
    return {};
}

// Reads the open file line by line with line buffers of assorted sizes,
// each between guard areas, to the end of the data.
std::string CheckLines(const std::string& path, const std::string& input, Rng& rng)
{
    static const int kSizes[] = {1, 2, 3, 4, 7, 16, 255, 4095, 4096, 4097, 5000};
    static unsigned char area[kGuard + 5000 + kGuard];

    mailAlloc = GuardedAlloc;
    const HFILE file = OpenMailFile(path.c_str());
    mailAlloc = std::malloc;
    if (file == HFILE_ERROR) return "cannot open the input file";

    std::string problem;
    // Every call with room for a character takes at least one byte or ends
    // the data; a size of 1 has no room and may take nothing at the end.
    long budget = static_cast<long>(input.size()) + 2;
    for (;;) {
        const int size = kSizes[rng.Below(sizeof kSizes / sizeof kSizes[0])];
        if (size == 1) ++budget;
        if (--budget < 0) {
            problem = "the lines never end";
            break;
        }
        std::memset(area, kGuardByte, sizeof area);
        char* line = reinterpret_cast<char*>(area + kGuard);
        const int got = ReadHeaderLine(line, size, file);
        problem = CheckLine(area, size, got);
        if (!problem.empty() || got == -1) break;
    }
    CloseMailFile(file);
    return problem;
}

std::string Printable(const std::string& bytes, size_t limit = 120)
{
    std::string out;
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        char hex[8];
        if (c >= 32 && c < 127 && c != '\\') {
            out += static_cast<char>(c);
        } else {
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    if (bytes.size() > limit) out += "...";
    return out;
}

// The input file, kept open for writing while the reader opens and closes
// it for each input (one handle instead of one per input saves many of the
// file system's round trips), and deleted at the end.
class InputFile {
public:
    explicit InputFile(const std::string& path)
        : path_(path), handle_(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~InputFile()
    {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        DeleteFileA(path_.c_str());
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Replaces the file's contents with bytes.
    bool Write(const std::string& bytes)
    {
        if (handle_ == INVALID_HANDLE_VALUE || SetFilePointer(handle_, 0, nullptr, FILE_BEGIN) != 0) return false;
        DWORD written = 0;
        if (!bytes.empty() && !WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            return false;
        return written == bytes.size() && SetEndOfFile(handle_);
    }

private:
    std::string path_;
    HANDLE handle_;
};

} // namespace

TEST(MailHeaderFuzz, NoInputWritesOutsideTheRecordOrLeavesAFieldOpen)
{
    const uint64_t seed = EnvNumber("KW_FUZZ_SEED", kDefaultSeed);
    const bool one = std::getenv("KW_FUZZ_INPUT") != nullptr;
    const long first = one ? static_cast<long>(EnvNumber("KW_FUZZ_INPUT", 0)) : 0;
    const long count = one ? 1 : (EnvNumber("KW_LONG_SOAK", 0) == 1 ? kLongInputs : kDefaultInputs);

    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string path = std::string(temp) + "tbfuzz_" + std::to_string(GetCurrentProcessId()) + ".CNM";
    // No box is expected; one would otherwise hold the test forever.
    wintest::MessageBoxWatcher boxes;
    static GuardedRecord guarded;

    int reported = 0;
    long done = 0, lineInputs = 0;
    const DWORD start = GetTickCount();
    InputFile file(path);
    for (long index = first; index < first + count && reported < kMaxReported; ++index) {
        const std::string input = MakeInput(seed, index);
        ++done;
        ASSERT_TRUE(file.Write(input)) << path;

        std::string problem;
        if (index % kLineModeEvery == kLineModeEvery - 1) {
            Rng sizes(seed + static_cast<uint64_t>(index));
            problem = CheckLines(path, input, sizes);
            ++lineInputs;
        } else {
            Prepare(guarded);
            const int result = ReadMailHeader(path.c_str(), &guarded.record);
            problem = CheckRecord(guarded, result, path);
        }
        if (!problem.empty()) {
            ++reported;
            ADD_FAILURE() << problem << "\n  replay with KW_FUZZ_SEED=0x" << std::hex << seed << std::dec
                          << " KW_FUZZ_INPUT=" << index << "\n  input of " << input.size()
                          << " bytes: " << Printable(input);
        }
    }
    EXPECT_EQ(boxes.Count(), 0u);
    std::printf("%ld inputs from seed 0x%llx (%ld read line by line) in %lu ms\n", done,
                static_cast<unsigned long long>(seed), lineInputs, GetTickCount() - start);
}
