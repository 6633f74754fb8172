// The INF text reader (how INF text is cut into reads) and the package INF
// scan (which OEM<n>.inf holds the catalog line, and where its reader is
// left), on the simulated Windows.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

const char INF_DIR[] = "C:\\Windows\\inf";
const std::string CATALOG = CATALOG_LINE;
const char NOTHING[] = "<nothing>"; // the read yields nothing
const unsigned char UNTOUCHED = 0xCC;

std::string Repeat(char c, size_t count)
{
    return std::string(count, c);
}

std::string CandidatePath(int n)
{
    return std::string(INF_DIR) + "\\OEM" + std::to_string(n) + ".inf";
}

// Reads everything from reader and checks each read against expected (a
// read may hold zero bytes, so its length comes from expected), then that
// the next read yields nothing and leaves the line as it was.
void ExpectReads(InfTextReader *reader, const std::vector<std::string> &expected, const std::string &row)
{
    for (size_t i = 0; i < expected.size(); ++i) {
        unsigned char line[LINE_BUFFER_SIZE];
        memset(line, UNTOUCHED, sizeof line);
        ASSERT_TRUE(ReadInfLine(reader, reinterpret_cast<char *>(line))) << row << ": read " << i << " yields nothing";
        std::string got(reinterpret_cast<char *>(line), expected[i].size());
        EXPECT_EQ(expected[i], got) << row << ": read " << i;
        EXPECT_EQ(0, line[expected[i].size()]) << row << ": read " << i << " is longer";
    }
    unsigned char line[LINE_BUFFER_SIZE];
    memset(line, UNTOUCHED, sizeof line);
    EXPECT_FALSE(ReadInfLine(reader, reinterpret_cast<char *>(line))) << row << ": a read after the last";
    for (unsigned char byte : line) {
        ASSERT_EQ(UNTOUCHED, byte) << row << ": a read that yields nothing touched the line";
    }
}

// The reads a file of whole lines gives: a line comes in pieces of 255
// bytes, the last piece with its line feed.
std::vector<std::string> ReadsOfLines(const std::vector<std::string> &lines)
{
    std::vector<std::string> reads;
    for (const std::string &line : lines) {
        std::string text = line + "\n";
        for (size_t at = 0; at < text.size(); at += LINE_BUFFER_SIZE - 1) {
            reads.push_back(text.substr(at, LINE_BUFFER_SIZE - 1));
        }
    }
    return reads;
}

class InfTextReaderTest : public SimTest {
  protected:
    void ExpectFileReads(const std::string &row, const std::string &content, const std::vector<std::string> &reads,
                         DWORD bufferSize = INF_READ_BUFFER_SIZE)
    {
        sim::AddFile(CandidatePath(1), content);
        ASSERT_TRUE(OpenInfTextReaderWithBufferSize(reader.get(), CandidatePath(1).c_str(), bufferSize)) << row;
        ExpectReads(reader.get(), reads, row);
        CloseInfTextReader(reader.get());
    }

    std::unique_ptr<InfTextReader> reader{new InfTextReader};
};

TEST_F(InfTextReaderTest, DeliversTheFileByTheTextModeRules)
{
    const struct {
        const char *row;
        std::string content;
        std::vector<std::string> reads;
    } cases[] = {
        {"empty file", "", {}},
        {"CR LF becomes LF", "[Version]\r\nClass=Image\r\n", {"[Version]\n", "Class=Image\n"}},
        {"LF alone", "a\nb\n", {"a\n", "b\n"}},
        {"last line without line feed", "a\r\nlast", {"a\n", "last"}},
        {"lone CR stays, line goes on", "a\rb\r\n", {"a\rb\n"}},
        {"CR CR LF", "a\r\r\nb", {"a\r\n", "b"}},
        {"CR as last byte", "a\r", {"a\r"}},
        {"LF CR", "a\n\rb", {"a\n", "\rb"}},
        {"blank lines", "\r\n\n\r\n", {"\n", "\n", "\n"}},
        {"Ctrl-Z ends the file", "ab\x1a\r\ncd\r\n", {"ab"}},
        {"Ctrl-Z first", "\x1a" "abc", {}},
        {"Ctrl-Z after CR", "a\r\x1a\n", {"a\r"}},
        {"zero bytes delivered", std::string("a\0b\r\n\0", 6), {std::string("a\0b\n", 4), std::string("\0", 1)}},
        {"bytes above 0x7F", "\xEF\xBB\xBF\xFF\r\n", {"\xEF\xBB\xBF\xFF\n"}},
        {"254 characters and CR LF: one read", Repeat('x', 254) + "\r\n", {Repeat('x', 254) + "\n"}},
        {"255 characters and CR LF: two reads", Repeat('x', 255) + "\r\n", {Repeat('x', 255), "\n"}},
        {"CR LF split by the 255-byte cut", Repeat('x', 254) + "\r\r\n", {Repeat('x', 254) + "\r", "\n"}},
        {"600 characters", Repeat('y', 600) + "\n", {Repeat('y', 255), Repeat('y', 255), Repeat('y', 90) + "\n"}},
        {"CR-only line ends: one long line", Repeat('z', 200) + "\r" + Repeat('z', 100) + "\r",
         {Repeat('z', 200) + "\r" + Repeat('z', 54), Repeat('z', 46) + "\r"}},
    };
    for (const auto &c : cases) {
        ExpectFileReads(c.row, c.content, c.reads);
    }
}

// A file larger than the reader's buffer, with its line ends put so that
// some block ends between a carriage return and its line feed, read with
// buffers of many sizes (the shipped one among them).
TEST_F(InfTextReaderTest, RefillsChangeNothing)
{
    std::vector<std::string> lines;
    std::string content;
    // The carriage return of one line end is the last byte of the first
    // 64 KiB block, its line feed the first byte of the next.
    while (content.size() < INF_READ_BUFFER_SIZE - 300) {
        lines.push_back("line" + std::to_string(lines.size()) + "=" + Repeat('v', lines.size() % 40));
        content += lines.back() + "\r\n";
    }
    lines.push_back(Repeat('w', INF_READ_BUFFER_SIZE - 1 - content.size()));
    content += lines.back() + "\r\n";
    ASSERT_EQ('\r', content[INF_READ_BUFFER_SIZE - 1]);
    for (int i = 0; i < 200; ++i) {
        lines.push_back(Repeat('t', (size_t)i * 3) + "\r");
        content += lines.back() + "\r\n";
        if (i == 150) {
            lines.push_back("; " + CATALOG);
            content += lines.back() + "\r\n";
        }
    }
    const std::vector<std::string> reads = ReadsOfLines(lines);
    const std::vector<std::string> afterCatalog =
        ReadsOfLines(std::vector<std::string>(lines.end() - 49, lines.end()));
    for (DWORD size : {2u, 3u, 254u, 255u, 256u, 4097u, (DWORD)INF_READ_BUFFER_SIZE}) {
        std::string row = "buffer of " + std::to_string(size) + " bytes";
        ExpectFileReads(row, content, reads, size);

        ASSERT_TRUE(OpenInfTextReaderWithBufferSize(reader.get(), CandidatePath(1).c_str(), size)) << row;
        char line[LINE_BUFFER_SIZE];
        ASSERT_TRUE(ReadToCatalogLine(reader.get(), line)) << row;
        EXPECT_EQ("; " + CATALOG + "\n", line) << row;
        ExpectReads(reader.get(), afterCatalog, row + ", after the catalog line");
        CloseInfTextReader(reader.get());
    }
}

TEST_F(InfTextReaderTest, OpensReadOnlySharingReadAndWrite)
{
    sim::AddFile(CandidatePath(3), "x\r\n");
    sim::LockFile(CandidatePath(3)); // open elsewhere for writing
    ASSERT_TRUE(OpenInfTextReader(reader.get(), CandidatePath(3).c_str()));
    CloseInfTextReader(reader.get());
    int open = CallIndex("CreateFileA");
    ASSERT_GE(open, 0);
    // GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING.
    EXPECT_NE(std::string::npos, sim::Journal()[open].args.find(", 0x80000000, 0x3, 3, ")) << sim::JournalText();
}

TEST_F(InfTextReaderTest, AMissingFileLeavesNothingToClose)
{
    EXPECT_FALSE(OpenInfTextReader(reader.get(), CandidatePath(9).c_str()));
    EXPECT_EQ(0, CallCount("CloseHandle"));
}

TEST_F(InfTextReaderTest, AFailedReadEndsTheFile)
{
    const std::string block = Repeat('a', INF_READ_BUFFER_SIZE - 1);
    std::vector<std::string> blockReads = ReadsOfLines({block});
    blockReads.pop_back(); // the line feed, in the next block
    std::vector<std::string> withLineFeed = blockReads;
    withLineFeed.push_back("\n");
    std::vector<std::string> withCarriageReturn = blockReads;
    withCarriageReturn.push_back("\r");
    const struct {
        const char *row;
        int failingRead;
        std::string content;
        std::vector<std::string> reads;
    } cases[] = {
        {"first read fails", 1, "a\r\n", {}},
        {"second read fails", 2, block + "\nmore\r\n", withLineFeed},
        // The carriage return's partner never comes: it stays.
        {"read for the partner of CR fails", 2, block + "\r\nmore\r\n", withCarriageReturn},
    };
    for (const auto &c : cases) {
        sim::Reset();
        sim::FailCall("ReadFile", ERROR_READ_FAULT, c.failingRead);
        ExpectFileReads(c.row, c.content, c.reads);
        EXPECT_EQ(1, sim::FaultsHit()) << c.row;
        EXPECT_EQ("", sim::UnexpectedCalls()) << c.row;
        EXPECT_EQ("", sim::LeakedHandles()) << c.row;
    }
}

// ---- The scan ----------------------------------------------------------------

struct ScanResult {
    bool found;
    std::string path;
    std::string nextRead; // the first read from the handed-over reader, or NOTHING
};

// Runs FindPackageInf, takes one read from the handed-over reader and closes
// it, as the driver file removal does.
ScanResult Scan()
{
    std::unique_ptr<PackageInf> inf(new PackageInf);
    FindPackageInf(inf.get());
    ScanResult result = {inf->found != FALSE, "", NOTHING};
    if (result.found) {
        result.path = inf->path;
        char line[LINE_BUFFER_SIZE];
        if (ReadInfLine(&inf->reader, line)) {
            result.nextRead = line;
        }
        CloseInfTextReader(&inf->reader);
    }
    return result;
}

// A line whose catalog text begins at the given character (1-based).
std::string CatalogAtColumn(size_t column)
{
    return Repeat('k', column - 1) + CATALOG + "\r\n";
}

std::string Utf16(const std::string &text)
{
    std::string wide = "\xFF\xFE";
    for (char c : text) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

TEST_F(SimTest, FindPackageInfFindsTheFirstCandidateWithTheCatalogText)
{
    const std::string header = "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Image\r\n";
    const std::string files = "\r\n[SourceDisksFiles]\r\nvelmcam.sys=1\r\n";
    const std::string plain = header + "CatalogFile=other.cat\r\n" + files;
    const std::string package = header + CATALOG + "\r\n" + files;
    const struct {
        const char *row;
        std::vector<std::pair<std::string, std::string>> files; // name in inf, content
        int found;                                            // candidate number, -1 for none
        std::string nextRead;
    } cases[] = {
        {"gaps in the numbering", {{"OEM0.inf", plain}, {"OEM1.inf", plain}, {"OEM2.inf", plain}, {"OEM4.inf", package}},
         4, "\n"},
        {"first match wins", {{"OEM5.inf", package}, {"OEM9.inf", package}}, 5, "\n"},
        {"number 101 is never formed", {{"OEM101.inf", package}}, -1, ""},
        {"leading zeros are never formed", {{"OEM007.inf", package}}, -1, ""},
        {"name in other case", {{"oem12.INF", package}}, 12, "\n"},
        {"no catalog anywhere", {{"OEM0.inf", plain}, {"OEM100.inf", plain}}, -1, ""},
        {"last candidate", {{"OEM100.inf", package}}, 100, "\n"},
        {"empty file skipped", {{"OEM0.inf", ""}, {"OEM1.inf", package}}, 1, "\n"},
        {"behind a comment mark", {{"OEM3.inf", "; " + CATALOG + "\r\nnext\r\n"}}, 3, "next\n"},
        {"before more text", {{"OEM3.inf", CATALOG + " ; signed\r\nnext\r\n"}}, 3, "next\n"},
        {"in another section", {{"OEM3.inf", "[Strings]\r\nx=\"" + CATALOG + "\"\r\n"}}, 3, NOTHING},
        {"key in lower case", {{"OEM3.inf", "catalogfile.ntx86=usbvelm.cat\r\n"}}, -1, ""},
        {"blank before '='", {{"OEM3.inf", "CatalogFile.ntx86 =usbvelm.cat\r\n"}}, -1, ""},
        {"blank after '='", {{"OEM3.inf", "CatalogFile.ntx86= usbvelm.cat\r\n"}}, -1, ""},
        {"starts at character 227", {{"OEM6.inf", CatalogAtColumn(227) + "next\r\n"}}, 6, "\n"},
        {"starts at character 228: straddles the cut", {{"OEM6.inf", CatalogAtColumn(228) + "next\r\n"}}, -1, ""},
        {"starts at character 255", {{"OEM6.inf", CatalogAtColumn(255)}}, -1, ""},
        {"starts at character 256: second read", {{"OEM6.inf", CatalogAtColumn(256) + "next\r\n"}}, 6, "next\n"},
        {"in the first piece of a long line",
         {{"OEM6.inf", CATALOG + Repeat('r', 300) + "\r\nnext\r\n"}}, 6, Repeat('r', 29 + 300 - 255) + "\n"},
        {"in the third piece of a long line",
         {{"OEM6.inf", Repeat('k', 520) + CATALOG + Repeat('r', 300) + "\r\n"}}, 6, Repeat('r', 849 - 765) + "\n"},
        {"LF line ends", {{"OEM8.inf", "[Version]\n" + CATALOG + "\nnext\n"}}, 8, "next\n"},
        {"CR-only line ends", {{"OEM8.inf", "[Version]\r" + CATALOG + "\rnext\r"}}, 8, NOTHING},
        {"CR-only line ends, straddling a 255-byte piece",
         {{"OEM8.inf", Repeat('q', 240) + "\r" + CATALOG + "\rnext\r"}}, -1, ""},
        {"UTF-8 with a byte-order mark", {{"OEM2.inf", "\xEF\xBB\xBF" + CATALOG + "\r\nnext\r\n"}}, 2, "next\n"},
        {"UTF-16", {{"OEM2.inf", Utf16("[Version]\r\n" + CATALOG + "\r\n")}, {"OEM3.inf", plain}}, -1, ""},
        {"Ctrl-Z before it", {{"OEM4.inf", "[Version]\r\n\x1a" + CATALOG + "\r\n"}}, -1, ""},
        {"Ctrl-Z right after it", {{"OEM4.inf", "[Version]\r\n" + CATALOG + "\x1a\r\nnext\r\n"}}, 4, NOTHING},
        {"zero byte in front on its line", {{"OEM4.inf", std::string("x\0", 2) + CATALOG + "\r\n"}}, -1, ""},
        {"zero byte on the line before", {{"OEM4.inf", std::string("x\0\r\n", 4) + CATALOG + "\r\n"}}, 4, NOTHING},
        {"zero byte lines before", {{"OEM4.inf", std::string("x\0\r\n", 4) + Repeat('s', 400) + "\r\n" + CATALOG +
                                                     "\r\n" + Repeat('u', 400) + "\r\n"}},
         4, Repeat('u', 255)},
        {"last line without a line feed", {{"OEM7.inf", "[Version]\r\n" + CATALOG}}, 7, NOTHING},
    };
    for (const auto &c : cases) {
        sim::Reset();
        for (const auto &file : c.files) {
            sim::AddFile(std::string(INF_DIR) + "\\" + file.first, file.second);
        }
        ScanResult result = Scan();
        EXPECT_EQ(c.found >= 0, result.found) << c.row;
        if (c.found >= 0 && result.found) {
            EXPECT_EQ(CandidatePath(c.found), result.path) << c.row;
            EXPECT_EQ(c.nextRead, result.nextRead) << c.row;
        }
        EXPECT_EQ("", sim::UnexpectedCalls()) << c.row;
        EXPECT_EQ("", sim::LeakedHandles()) << c.row;
    }
}

// The catalog text where one 64 KiB block of the file ends and the next
// begins: found when its read holds it, not when the 255-byte cut falls
// inside it too; the reader goes on just after its read.
TEST_F(SimTest, FindPackageInfReadsAcrossBlocks)
{
    const struct {
        const char *row;
        size_t catalogAt;  // offset of the catalog text in the file
        size_t lineLength; // of the filler lines in front of it
        bool beginsLine;   // the catalog text begins its line
        bool found;
    } cases[] = {
        {"straddling the block end", INF_READ_BUFFER_SIZE - 10, 40, false, true},
        {"ending at the block end", INF_READ_BUFFER_SIZE - CATALOG.size(), 40, false, true},
        {"one byte into the next block", INF_READ_BUFFER_SIZE - CATALOG.size() + 1, 40, false, true},
        {"beginning its line, one byte into the next block", INF_READ_BUFFER_SIZE - CATALOG.size() + 1, 40, true,
         true},
        {"beginning its line, 4 bytes into the next block", INF_READ_BUFFER_SIZE - CATALOG.size() + 4, 40, true,
         true},
        {"beginning the next block", INF_READ_BUFFER_SIZE, 40, true, true},
        {"at the block end, inside a long line", INF_READ_BUFFER_SIZE - 10, 3000, false, true},
        {"straddling block end and 255-byte cut", INF_READ_BUFFER_SIZE - 10, 0, false, false},
        {"far into the file", 5 * INF_READ_BUFFER_SIZE + 77, 60, false, true},
    };
    for (const auto &c : cases) {
        sim::Reset();
        std::string content;
        std::string line;
        if (c.lineLength > 0) {
            while (content.size() + c.lineLength + 4 <= c.catalogAt) {
                content += Repeat('f', c.lineLength) + "\r\n";
            }
            content += Repeat('g', c.catalogAt - content.size() - (c.beginsLine ? 2 : 0));
            content += c.beginsLine ? "\r\n" : "";
        } else {
            // One line of CR-only ends whose 255-byte pieces cut the text.
            content = Repeat('h', c.catalogAt);
        }
        content += CATALOG + "tail\r\nnext\r\n";
        sim::AddFile(CandidatePath(0), Repeat('p', 300000));
        sim::AddFile(CandidatePath(1), content);
        ScanResult result = Scan();
        ASSERT_EQ(c.found, result.found) << c.row;
        if (!c.found) {
            continue;
        }
        EXPECT_EQ(CandidatePath(1), result.path) << c.row;
        // The read that holds the text ends at its line feed, or 255 bytes
        // from the start of its piece of the line.
        size_t lineStart = content.rfind('\n', c.catalogAt);
        lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
        size_t pieceEnd = lineStart + (c.catalogAt - lineStart) / 255 * 255 + 255;
        size_t lineEnd = content.find("\r\n", c.catalogAt);
        std::string expected = pieceEnd <= lineEnd ? content.substr(pieceEnd, std::min<size_t>(255, lineEnd - pieceEnd)) : "next";
        if (pieceEnd > lineEnd || lineEnd - pieceEnd < 255) {
            expected += "\n";
        }
        EXPECT_EQ(expected, result.nextRead) << c.row;
    }
}

// Each candidate: the directory fetched anew, the path formed, the file
// opened, and closed again before the next number is tried.
TEST_F(SimTest, FindPackageInfTriesCandidatesInOrderClosingEach)
{
    sim::AddFile(CandidatePath(0), "a\r\n");
    sim::AddFile(CandidatePath(1), "b\r\n");
    sim::AddFile(CandidatePath(2), "c\r\n");
    sim::AddFile(CandidatePath(4), CATALOG + "\r\n");
    sim::AddFile(CandidatePath(9), CATALOG + "\r\n");
    ScanResult result = Scan();
    ASSERT_TRUE(result.found);
    EXPECT_EQ(CandidatePath(4), result.path);

    std::vector<std::string> calls;
    for (const sim::Call &call : sim::Journal()) {
        if (call.name == "CreateFileA") {
            calls.push_back("open " + call.args.substr(0, call.args.find(',')) + (call.result == "INVALID_HANDLE_VALUE" ? " fails" : ""));
        } else if (call.name == "CloseHandle" || call.name == "GetWindowsDirectoryA") {
            calls.push_back(call.name);
        }
    }
    const std::vector<std::string> expected = {
        "GetWindowsDirectoryA", "open \"C:\\Windows\\inf\\OEM0.inf\"",       "CloseHandle",
        "GetWindowsDirectoryA", "open \"C:\\Windows\\inf\\OEM1.inf\"",       "CloseHandle",
        "GetWindowsDirectoryA", "open \"C:\\Windows\\inf\\OEM2.inf\"",       "CloseHandle",
        "GetWindowsDirectoryA", "open \"C:\\Windows\\inf\\OEM3.inf\" fails", "GetWindowsDirectoryA",
        "open \"C:\\Windows\\inf\\OEM4.inf\"", "CloseHandle", // closed by the caller
    };
    EXPECT_EQ(expected, calls) << sim::JournalText();
    EXPECT_EQ(-1, CallIndex("CreateFileA", "OEM9.inf"));
}

TEST_F(SimTest, FindPackageInfNeverWritesPastThePath)
{
    // 241 characters: OEM0.inf to OEM99.inf fit the 256-byte path buffer,
    // OEM100.inf would need 257 bytes.
    std::string windows = "C:\\Windows";
    while (windows.size() < 241) {
        windows += "\\" + Repeat('d', std::min<size_t>(60, 240 - windows.size()));
    }
    ASSERT_EQ(241u, windows.size());
    const struct {
        const char *row;
        std::string windows;
        int catalogIn;
        bool found;
    } cases[] = {
        {"241 characters, OEM99 fits", windows, 99, true},
        {"241 characters, OEM100 does not", windows, 100, false},
        {"directory longer than the buffer", windows + Repeat('e', 20), 0, false},
    };
    for (const auto &c : cases) {
        sim::Reset();
        sim::SetWindowsDirectory(c.windows);
        std::string inf = c.windows.substr(0, 241) + "\\inf\\OEM" + std::to_string(c.catalogIn) + ".inf";
        sim::AddFile(inf, CATALOG + "\r\n");
        ScanResult result = Scan();
        EXPECT_EQ(c.found, result.found) << c.row;
        if (c.found) {
            EXPECT_EQ(inf, result.path) << c.row;
        }
        EXPECT_EQ(c.found ? c.catalogIn + 1 : 101, CallCount("GetWindowsDirectoryA")) << c.row;
        // Only the candidates whose path fits are opened.
        EXPECT_EQ(c.windows.size() > 241 ? 0 : 100, CallCount("CreateFileA")) << c.row;
        EXPECT_EQ("", sim::UnexpectedCalls()) << c.row;
    }
}

TEST_F(SimTest, FindPackageInfSkipsCandidatesThatCannotBeRead)
{
    const struct {
        const char *row;
        const char *call;
        DWORD error;
        int occurrence;
        bool persistent;
        int found; // -1 for none
    } cases[] = {
        // The fifth query is for OEM4.inf: its spoilt buffer is not used.
        {"directory query fails for OEM4", "GetWindowsDirectoryA", ERROR_NOT_ENOUGH_MEMORY, 5, false, 6},
        {"directory query always fails", "GetWindowsDirectoryA", ERROR_NOT_ENOUGH_MEMORY, 1, true, -1},
        {"OEM4 cannot be opened", "CreateFileA", ERROR_ACCESS_DENIED, 5, false, 6},
        {"reading OEM4 fails", "ReadFile", ERROR_READ_FAULT, 1, false, 6},
    };
    for (const auto &c : cases) {
        sim::Reset();
        sim::AddFile(CandidatePath(4), "[Version]\r\n" + CATALOG + "\r\n");
        sim::AddFile(CandidatePath(6), "[Version]\r\n" + CATALOG + "\r\n");
        sim::FailCall(c.call, c.error, c.occurrence, c.persistent);
        ScanResult result = Scan();
        EXPECT_EQ(c.found >= 0, result.found) << c.row;
        if (c.found >= 0) {
            EXPECT_EQ(CandidatePath(c.found), result.path) << c.row;
        }
        EXPECT_EQ(-1, CallIndex("CreateFileA", "XXX")) << c.row << ": a spoilt buffer was used";
        EXPECT_EQ("", sim::UnexpectedCalls()) << c.row;
        EXPECT_EQ("", sim::LeakedHandles()) << c.row;
    }
}

TEST_F(SimTest, FindPackageInfAfterTheMatchIsDeletedFindsTheNext)
{
    sim::AddFile(CandidatePath(5), CATALOG + "\r\n");
    sim::AddFile(CandidatePath(9), "x\r\n" + CATALOG + "\r\n");
    EXPECT_EQ(CandidatePath(5), Scan().path);
    ASSERT_TRUE(DeleteFileA(CandidatePath(5).c_str()));
    EXPECT_EQ(CandidatePath(9), Scan().path);
    ASSERT_TRUE(DeleteFileA(CandidatePath(9).c_str()));
    EXPECT_FALSE(Scan().found);
}

} // namespace
