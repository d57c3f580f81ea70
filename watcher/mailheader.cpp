/*
 * Mail header reader: fills a MailRecord from the header fields at the top
 * of a new-mail file. The message body is never read: reading stops at the
 * first empty line.
 *
 * Bytes come through a 16 KB buffer; lines end at LF, CR (the rest of that
 * physical line is dropped, so CR LF ends one line), form feed, end of data,
 * the byte 0xFF, or after 4095 characters. Fields are read as RFC 5322
 * writes them: a line that begins with a space or a tab continues the field
 * before it and is joined to it first; then the field is known by its own
 * name, the text before its first colon, compared whole and without regard
 * to case, so Reply-To, Resent-From and X-Priority are fields of their own
 * and change nothing. The first occurrence of a field counts: a later one
 * added by a relay, a list or a sender does not replace it. Each value is
 * tidied with the library's trim.
 */
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "kwctrl32.h"
#include "mail.h"

void* (*mailAlloc)(std::size_t size) = std::malloc;

namespace {

// Every kind of sharing: the client may write, rename or delete a file
// while it is being read.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr int kNoBuffer = 0xFF;
constexpr int kEndOfData = 0;

// Reader state: one file at a time.
unsigned char* readBuffer;
UINT fillCount;
UINT readPosition;
// Set by a failed read: the file then has no more data.
bool readFailed;
// Set when the last open found no memory for the read buffer.
bool bufferLacking;
// The open file's size when it was opened (-1 if unknown), to tell whether
// it changed while it was read.
LONGLONG openSize;

// A file last written this recently is taken to be still written.
constexpr ULONGLONG kSettleTime = 2 * 10000000ULL; // 2 s in FILETIME units

struct FieldRule {
    int code;
    const char* name;
    size_t offset; // of the field in MailRecord
};

const FieldRule kFieldRules[] = {
    {kFieldFrom, "From", offsetof(MailRecord, from)},
    {kFieldTo, "To", offsetof(MailRecord, to)},
    {kFieldDate, "Date", offsetof(MailRecord, date)},
    {kFieldOrganization, "Organization", offsetof(MailRecord, organization)},
    {kFieldSubject, "Subject", offsetof(MailRecord, subject)},
    {kFieldPriority, "Priority", offsetof(MailRecord, priority)},
};

// What a UTF-8 editor or mailer may put before the first field.
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

bool IsFoldBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Whether the length bytes at text are name, ASCII letters compared without
// regard to case.
bool SameName(const char* text, size_t length, const char* name)
{
    if (std::strlen(name) != length) return false;
    for (size_t i = 0; i < length; ++i) {
        const char a = text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 'a' + 'A') : text[i];
        const char b = name[i] >= 'a' && name[i] <= 'z' ? static_cast<char>(name[i] - 'a' + 'A') : name[i];
        if (a != b) return false;
    }
    return true;
}

// Joins a continuation line to the field gathered so far (the line break
// goes, the line's leading white space stays); what does not fit the
// field's 4095 characters is dropped.
void AppendFold(char* field, size_t size, const char* line)
{
    const size_t used = std::strlen(field);
    const size_t room = size - 1 - used;
    size_t length = std::strlen(line);
    if (length > room) length = room;
    std::memcpy(field + used, line, length);
    field[used + length] = '\0';
}

// Copies at most size - 1 characters of text and terminates.
void CopyText(char* dest, size_t size, const char* text, size_t length)
{
    if (length > size - 1) length = size - 1;
    std::memcpy(dest, text, length);
    dest[length] = '\0';
}

// The display name: the text between the leading double quote and the next
// one (or the end), else the whole sender.
void SetFromName(MailRecord* record)
{
    const char* from = record->from;
    if (from[0] == '"') {
        const char* name = from + 1;
        const char* close = std::strchr(name, '"');
        const size_t length = close ? static_cast<size_t>(close - name) : std::strlen(name);
        CopyText(record->fromName, sizeof record->fromName, name, length);
    } else {
        CopyText(record->fromName, sizeof record->fromName, from, std::strlen(from));
    }
}

// The reader's files are kernel handles carried in an HFILE, as _lopen
// gave them.
HANDLE HandleOf(HFILE file)
{
    return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file));
}

ULONGLONG Join(DWORD high, DWORD low)
{
    return (static_cast<ULONGLONG>(high) << 32) | low;
}

// Whether the open file is still being written: its size is not the size
// it had at the open, or it was last written within 2 s of now. A write
// time ahead of the clock by less than that counts too (a file server's
// clock a little ahead); one further ahead does not, or the file would wait
// until the clock caught up. A file whose state cannot be read is settled.
bool StillChanging(HFILE file)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(HandleOf(file), &info)) return false;
    if (static_cast<LONGLONG>(Join(info.nFileSizeHigh, info.nFileSizeLow)) != openSize) return true;
    FILETIME clock;
    GetSystemTimeAsFileTime(&clock);
    const ULONGLONG now = Join(clock.dwHighDateTime, clock.dwLowDateTime);
    const ULONGLONG written = Join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
    return (now >= written ? now - written : written - now) < kSettleTime;
}

} // namespace

HFILE OpenMailFile(const char* path)
{
    // A buffer left by a file that was never closed is not leaked.
    std::free(readBuffer);
    readBuffer = static_cast<unsigned char*>(mailAlloc(kReadBufferSize));
    fillCount = 0;
    readPosition = 0;
    readFailed = false;
    bufferLacking = !readBuffer;
    if (!readBuffer) return HFILE_ERROR;
    // A file that vanished before the open is one that cannot be opened.
    const HANDLE handle = CreateFileA(path, GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        std::free(readBuffer);
        readBuffer = nullptr;
        return HFILE_ERROR;
    }
    LARGE_INTEGER size;
    openSize = GetFileSizeEx(handle, &size) ? size.QuadPart : -1;
    return static_cast<HFILE>(reinterpret_cast<INT_PTR>(handle));
}

bool MailReaderLackedBuffer()
{
    return bufferLacking;
}

void CloseMailFile(HFILE file)
{
    CloseHandle(HandleOf(file));
    std::free(readBuffer);
    readBuffer = nullptr;
    fillCount = 0;
    readPosition = 0;
}

int ReadMailChar(HFILE file)
{
    if (!readBuffer) return kNoBuffer;
    if (readPosition >= fillCount) {
        if (readFailed) return kEndOfData;
        DWORD got = 0;
        // A read error ends the data just as an empty read does, and is not
        // retried.
        readFailed = !ReadFile(HandleOf(file), readBuffer, kReadBufferSize, &got, nullptr);
        fillCount = readFailed ? 0 : got;
        readPosition = 0;
        if (fillCount == 0) return kEndOfData;
    }
    const unsigned char c = readBuffer[readPosition++];
    return c == 0 ? ' ' : c;
}

int ReadHeaderLine(char* buffer, int size, HFILE file)
{
    if (!buffer || size < 1) return -1;
    // Without an open file every byte would read as 0xFF and the skip below
    // would never end.
    if (!readBuffer) {
        buffer[0] = '\0';
        return -1;
    }
    enum { kLineFeed, kReturn, kEnd, kFormFeed, kByteFF, kFull } ending;
    int stored = 0;
    for (;;) {
        if (stored >= size - 1) { ending = kFull; break; }
        const int c = ReadMailChar(file);
        if (c == '\n') { ending = kLineFeed; break; }
        if (c == '\r') { ending = kReturn; break; }
        if (c == kEndOfData) { ending = kEnd; break; }
        if (c == 0xFF) { ending = kByteFF; break; }
        if (c == '\f') {
            // A form feed is a line of its own: alone it is the line,
            // after text it is put back to begin the next one.
            if (stored == 0) {
                buffer[stored++] = '\f';
            } else {
                --readPosition;
            }
            ending = kFormFeed;
            break;
        }
        buffer[stored++] = static_cast<char>(c);
    }
    buffer[stored] = '\0';
    if (ending == kEnd && stored == 0) return -1;
    if (ending == kReturn || ending == kByteFF || ending == kFull) {
        for (;;) {
            const int c = ReadMailChar(file);
            if (c == '\n' || c == '\f' || c == kEndOfData) break;
        }
    }
    return stored;
}

int ClassifyHeaderLine(const char* line)
{
    if (!line) return kFieldNone;
    // The field name is the text before the first colon, without the white
    // space some writers leave before the colon; a line without a colon is
    // no field.
    const size_t colon = std::strcspn(line, ":");
    if (!line[colon]) return kFieldNone;
    size_t length = colon;
    while (length > 0 && IsFoldBlank(line[length - 1])) --length;
    for (const FieldRule& rule : kFieldRules) {
        if (SameName(line, length, rule.name)) return rule.code;
    }
    return kFieldNone;
}

int ReadMailHeader(const char* path, MailRecord* record, bool* unfinished)
{
    if (unfinished) *unfinished = false;
    bufferLacking = false;
    if (!path || !record) return 0;
    // A path that does not fit the record would name another file there.
    const size_t pathLength = std::strlen(path);
    if (pathLength >= sizeof record->path) return 0;

    const HFILE file = OpenMailFile(path);
    if (file == HFILE_ERROR) return 0;
    std::memcpy(record->path, path, pathLength + 1);

    // Two line buffers: the field being gathered and the line read after
    // it, which may continue it or begin the next field.
    char first[kHeaderFieldSize];
    char second[kHeaderFieldSize];
    char* field = first;
    char* line = second;
    int stored = ReadHeaderLine(field, sizeof first, file);
    if (std::strncmp(field, kByteOrderMark, 3) == 0) std::memmove(field, field + 3, std::strlen(field + 3) + 1);
    unsigned taken = 0; // bit per field code already stored from this file
    // An empty line ends the header; so does the end of the file, but a
    // file still being written may not have reached its empty line yet.
    while (field[0] != '\0') {
        for (;;) {
            stored = ReadHeaderLine(line, sizeof second, file);
            if (!IsFoldBlank(line[0])) break;
            AppendFold(field, sizeof first, line);
        }
        const int code = ClassifyHeaderLine(field);
        const unsigned bit = 1u << (code - kFieldFrom);
        for (const FieldRule& rule : kFieldRules) {
            if (rule.code != code || (taken & bit)) continue;
            taken |= bit;
            char* value = reinterpret_cast<char*>(record) + rule.offset;
            const char* colon = std::strchr(field, ':') + 1;
            CopyText(value, kHeaderFieldSize, colon, std::strlen(colon));
            trim(value);
            if (code == kFieldFrom) SetFromName(record);
        }
        std::swap(field, line);
    }
    if (stored < 0 && unfinished) *unfinished = StillChanging(file);
    CloseMailFile(file);
    return 1;
}
