// Fuzz target for the INF text reader and the catalog scan. Both are run
// over a file served from memory, with a random reader buffer size, random
// short reads and a random failed read, and compared with a byte-at-a-time
// model of the text-mode rules: every read, the scan's verdict and matching
// read, and every read after the match must be the model's.
//
// Input: 2 bytes buffer size, 1 byte read-size mode, 1 byte seed, 1 byte
// failing read (0: none), then the file text, in which a few bytes stand for
// longer runs so that the 255-byte cut, block ends and the catalog text are
// reached often (see DecodeText).
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "uninstall.h"

namespace {

// ---- The file, served from memory -----------------------------------------

const char FUZZ_PATH[] = "C:\\fuzz\\OEM0.inf";
HANDLE const FUZZ_HANDLE = (HANDLE)(uintptr_t)0x4f454d30;

struct Source {
    std::string text;
    size_t offset = 0;
    bool open = false;
    uint32_t maxChunk = 0; // 0: every read gets all it asks for
    uint32_t seed = 0;
    uint32_t random = 0;
    int failingCall = 0; // 1-based; 0: no read fails
    int calls = 0;
    bool failed = false;
    size_t deliveredBeforeFailure = 0;
};

Source g_source;
InfTextReader g_reader;

void Fail(const char *what)
{
    fprintf(stderr, "fuzz: %s\n", what);
    abort();
}

void Rewind()
{
    g_source.offset = 0;
    g_source.open = false;
    g_source.random = g_source.seed * 2654435761u + 1;
    g_source.calls = 0;
    g_source.failed = false;
    g_source.deliveredBeforeFailure = 0;
}

} // namespace

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size)
{
    (void)buffer;
    (void)size;
    return 0;
}

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                          DWORD flags, HANDLE templateFile)
{
    (void)access, (void)share, (void)security, (void)disposition, (void)flags, (void)templateFile;
    if (strcmp(name, FUZZ_PATH) != 0 || g_source.open) {
        return INVALID_HANDLE_VALUE;
    }
    g_source.open = true;
    return FUZZ_HANDLE;
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD wanted, LPDWORD got, LPOVERLAPPED overlapped)
{
    if (file != FUZZ_HANDLE || !g_source.open || overlapped != NULL || got == NULL) {
        Fail("ReadFile on a handle that is not open");
    }
    if (g_source.failed) {
        Fail("ReadFile again after a failed read");
    }
    ++g_source.calls;
    if (g_source.calls == g_source.failingCall) {
        g_source.failed = true;
        g_source.deliveredBeforeFailure = g_source.offset;
        *got = 0;
        return FALSE;
    }
    size_t chunk = g_source.text.size() - g_source.offset;
    if (chunk > wanted) {
        chunk = wanted;
    }
    if (g_source.maxChunk != 0) {
        g_source.random = g_source.random * 1103515245u + 12345u;
        size_t limit = 1 + (g_source.random >> 8) % g_source.maxChunk;
        if (chunk > limit) {
            chunk = limit;
        }
    }
    memcpy(buffer, g_source.text.data() + g_source.offset, chunk);
    g_source.offset += chunk;
    *got = (DWORD)chunk;
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE file)
{
    if (file != FUZZ_HANDLE || !g_source.open) {
        Fail("CloseHandle on a handle that is not open");
    }
    g_source.open = false;
    return TRUE;
}

namespace {

// ---- The model: the text-mode rules one byte at a time --------------------

struct Model {
    const std::string *text;
    size_t end; // the file ends here (its size, or where a read failed)
    size_t position = 0;
    bool ended = false;
};

// The next delivered byte, or -1 at the end of the file.
int ModelByte(Model *model)
{
    if (model->ended || model->position >= model->end) {
        model->ended = true;
        return -1;
    }
    unsigned char byte = (unsigned char)(*model->text)[model->position];
    if (byte == 0x1A) {
        model->ended = true;
        return -1;
    }
    if (byte == '\r' && model->position + 1 < model->end && (*model->text)[model->position + 1] == '\n') {
        model->position += 2;
        return '\n';
    }
    ++model->position;
    return byte;
}

// One read: up to 255 bytes, up to and including a line feed; false when
// nothing could be read.
bool ModelRead(Model *model, std::string *read)
{
    read->clear();
    while (read->size() < LINE_BUFFER_SIZE - 1) {
        int byte = ModelByte(model);
        if (byte < 0) {
            break;
        }
        read->push_back((char)byte);
        if (byte == '\n') {
            break;
        }
    }
    return !read->empty();
}

bool ModelContainsCatalog(const std::string &read)
{
    return strstr(read.c_str(), CATALOG_LINE) != NULL;
}

// ---- Comparison -------------------------------------------------------------

const unsigned char UNTOUCHED = 0xCC;

struct ReaderRead {
    bool yielded;
    unsigned char line[LINE_BUFFER_SIZE];
};

ReaderRead TakeRead(InfTextReader *reader)
{
    ReaderRead read;
    memset(read.line, UNTOUCHED, sizeof read.line);
    read.yielded = ReadInfLine(reader, (char *)read.line) != FALSE;
    return read;
}

void ExpectSameRead(const ReaderRead &actual, bool yielded, const std::string &expected, const char *where)
{
    if (actual.yielded != yielded) {
        fprintf(stderr, "%s: reader %s, model %s\n", where, actual.yielded ? "read" : "nothing",
                yielded ? "read" : "nothing");
        Fail("read differs from the model");
    }
    if (!yielded) {
        for (unsigned char byte : actual.line) {
            if (byte != UNTOUCHED) {
                Fail("a read that yielded nothing touched the line");
            }
        }
        return;
    }
    if (memcmp(actual.line, expected.data(), expected.size()) != 0 || actual.line[expected.size()] != 0) {
        fprintf(stderr, "%s: model read of %zu bytes differs\n", where, expected.size());
        Fail("read differs from the model");
    }
}

// Where the file ends for the model: at a failed read, the bytes served
// before it are all the reader ever had.
size_t ModelEnd()
{
    return g_source.failed ? g_source.deliveredBeforeFailure : g_source.text.size();
}

void CheckReads(DWORD bufferSize)
{
    Rewind();
    InfTextReader *reader = &g_reader;
    if (!OpenInfTextReaderWithBufferSize(reader, FUZZ_PATH, bufferSize)) {
        Fail("open failed");
    }
    std::vector<ReaderRead> reads;
    do {
        reads.push_back(TakeRead(reader));
    } while (reads.back().yielded);
    // Once at the end, the end stays.
    reads.push_back(TakeRead(reader));
    CloseInfTextReader(reader);

    Model model = {&g_source.text, ModelEnd()};
    std::string expected;
    for (const ReaderRead &read : reads) {
        bool yielded = ModelRead(&model, &expected);
        ExpectSameRead(read, yielded, expected, "plain reads");
    }
}

void CheckScan(DWORD bufferSize)
{
    Rewind();
    InfTextReader *reader = &g_reader;
    if (!OpenInfTextReaderWithBufferSize(reader, FUZZ_PATH, bufferSize)) {
        Fail("open failed");
    }
    ReaderRead match;
    memset(match.line, UNTOUCHED, sizeof match.line);
    match.yielded = ReadToCatalogLine(reader, (char *)match.line) != FALSE;
    std::vector<ReaderRead> after;
    if (match.yielded) {
        do {
            after.push_back(TakeRead(reader));
        } while (after.back().yielded);
    }
    CloseInfTextReader(reader);

    Model model = {&g_source.text, ModelEnd()};
    std::string expected;
    bool found = false;
    while (ModelRead(&model, &expected)) {
        if (ModelContainsCatalog(expected)) {
            found = true;
            break;
        }
    }
    if (found != match.yielded) {
        fprintf(stderr, "scan: reader %s, model %s\n", match.yielded ? "found" : "not found",
                found ? "found" : "not found");
        Fail("scan verdict differs from the model");
    }
    if (!found) {
        return;
    }
    ExpectSameRead(match, true, expected, "matching read");
    for (const ReaderRead &read : after) {
        bool yielded = ModelRead(&model, &expected);
        ExpectSameRead(read, yielded, expected, "read after the match");
    }
}

// The file text: 0xF0 the catalog text, 0xF1 n a run of n + 1 letters,
// 0xF2 n a run of 64 (n + 1) letters, 0xF3 a carriage return and line feed,
// 0xF4 b the byte b itself; every other byte stands for itself.
std::string DecodeText(const uint8_t *data, size_t size)
{
    static const char LETTERS[] = "abcdefghijklmnopqrstuvwxyz ;=.,[]%";
    std::string text;
    size_t letter = 0;
    for (size_t i = 0; i < size && text.size() < (1u << 17); ++i) {
        uint8_t byte = data[i];
        if (byte == 0xF0) {
            text += CATALOG_LINE;
        } else if ((byte == 0xF1 || byte == 0xF2) && i + 1 < size) {
            size_t run = (size_t)data[++i] + 1;
            if (byte == 0xF2) {
                run *= 64;
            }
            for (size_t k = 0; k < run; ++k) {
                text += LETTERS[letter++ % (sizeof LETTERS - 1)];
            }
        } else if (byte == 0xF3) {
            text += "\r\n";
        } else if (byte == 0xF4 && i + 1 < size) {
            text += (char)data[++i];
        } else {
            text += (char)byte;
        }
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 5) {
        return 0;
    }
    unsigned sizeBits = (unsigned)data[0] << 8 | data[1];
    // Half the inputs get a small buffer, so refills fall everywhere.
    DWORD bufferSize = (sizeBits & 0x8000) != 0 ? 2 + (sizeBits & 0x3FF) : 2 + sizeBits % (INF_READ_BUFFER_SIZE - 1);
    static const uint32_t CHUNKS[8] = {0, 0, 0, 1, 3, 29, 300, 5000};
    g_source.maxChunk = CHUNKS[data[2] & 7];
    g_source.seed = data[3];
    g_source.failingCall = data[4] & 0x1F;
    g_source.text = DecodeText(data + 5, size - 5);

    CheckReads(bufferSize);
    CheckScan(bufferSize);
    CheckScan(INF_READ_BUFFER_SIZE);
    return 0;
}
