// Benchmark of the package INF scan on its worst case: all 101 candidates
// exist, each about 1 MB of INF-like text with short CR LF lines, and only
// OEM100.inf holds the catalog line, near its end. The scan runs in-process
// on the simulated Windows (its file calls are served from host files) and
// is compared with `cat` reading the same files and with `grep -F -l -m1`
// looking for the catalog text in them, each run as its own process.
//
// Usage: scan_bench [RUNS]. Prints each run's times, then the medians; the
// last line reads "scan/cat R1 scan/grep R2" with the two median ratios.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "sim.h"
#include "uninstall.h"

namespace {

const size_t FILE_SIZE = 1000000;

// INF-like text: sections, model lines, file lines, registry lines,
// strings, comments and blank lines, numbered so that no two blocks agree.
std::string InfText(int n, bool withCatalog)
{
    std::string text = "; Velmorin USB camera driver package\r\n[Version]\r\nSignature=\"$WINDOWS NT$\"\r\n"
                       "Class=Image\r\nClassGuid={6bdd1fc6-810f-11d0-bec7-08002be2092f}\r\nProvider=%Mfg%\r\n"
                       "CatalogFile.ntamd64=velm64.cat\r\nDriverVer=05/14/2009,1.0." +
                       std::to_string(n) + ".0\r\n\r\n";
    uint32_t random = 12345u + (uint32_t)n;
    char line[160];
    size_t catalogAt = FILE_SIZE - 1500;
    for (int i = 1; text.size() < FILE_SIZE; ++i) {
        random = random * 1103515245u + 12345u;
        switch ((random >> 16) % 8) {
        case 0:
            snprintf(line, sizeof line, "%%Velm.DeviceDesc%d%%=Velm.Dev%d,USB\\VID_1B3F&PID_%04X&MI_00", i % 97, i % 13,
                     (unsigned)(i % 65536));
            break;
        case 1:
            snprintf(line, sizeof line, "velmcap%d.sys=1", i);
            break;
        case 2:
            snprintf(line, sizeof line, "HKR,,DevLoader,,*ntkern");
            break;
        case 3:
            snprintf(line, sizeof line, "[Velm.Dev%d.NTx86.Services]", i);
            break;
        case 4:
            snprintf(line, sizeof line, "AddService=VelmCam%d,0x00000002,Velm.Service", i % 50);
            break;
        case 5:
            snprintf(line, sizeof line, "Velm.DeviceDesc%d=\"Velmorin USB Camera %d\"", i, i);
            break;
        case 6:
            snprintf(line, sizeof line, "; CopyFiles=Velm.CopyList, Velm.Helpers");
            break;
        default:
            line[0] = '\0';
            break;
        }
        text += line;
        text += "\r\n";
        if (withCatalog && text.size() >= catalogAt) {
            text += std::string(CATALOG_LINE) + "\r\n";
            withCatalog = false;
        }
    }
    return text;
}

void WriteHostFile(const std::string &path, const std::string &content)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (file == nullptr || fwrite(content.data(), 1, content.size(), file) != content.size() || fclose(file) != 0) {
        fprintf(stderr, "scan_bench: cannot write %s\n", path.c_str());
        exit(1);
    }
}

double Seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

template <typename F> double Time(F work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return Seconds(std::chrono::steady_clock::now() - start);
}

void Run(const std::string &command)
{
    int status = system(command.c_str());
    // grep -l exits with 0 when it lists a file; cat with 0.
    if (status != 0) {
        fprintf(stderr, "scan_bench: '%.60s...' failed with %d\n", command.c_str(), status);
        exit(1);
    }
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    int runs = argc > 1 ? atoi(argv[1]) : 5;
    if (runs < 1) {
        runs = 1;
    }
    sim::Reset();
    sim::SetWindowsDirectory("C:\\Windows");
    std::string inf = sim::DriveRoot() + "/Windows/inf";
    sim::AddFolder("C:\\Windows\\inf");
    std::string files;
    size_t bytes = 0;
    for (int n = 0; n <= INF_SCAN_LAST_INDEX; ++n) {
        std::string path = inf + "/OEM" + std::to_string(n) + ".inf";
        std::string text = InfText(n, n == INF_SCAN_LAST_INDEX);
        bytes += text.size();
        WriteHostFile(path, text);
        files += " '" + path + "'";
    }
    const std::string cat = "cat" + files + " > /dev/null";
    const std::string grep = std::string("grep -F -l -m1 '") + CATALOG_LINE + "'" + files + " > /dev/null";
    printf("%d files, %.1f MB, %d runs\n", INF_SCAN_LAST_INDEX + 1, (double)bytes / 1e6, runs);

    std::unique_ptr<PackageInf> package(new PackageInf);
    auto scan = [&] {
        sim::ClearJournal();
        FindPackageInf(package.get());
        if (!package->found) {
            fprintf(stderr, "scan_bench: the scan found nothing\n");
            exit(1);
        }
        CloseInfTextReader(&package->reader);
    };
    // A plain read of every byte through the same calls, 64 KiB at a time:
    // what the files cost before any text is looked at.
    static char block[INF_READ_BUFFER_SIZE];
    auto readAll = [&] {
        for (int n = 0; n <= INF_SCAN_LAST_INDEX; ++n) {
            std::string path = "C:\\Windows\\inf\\OEM" + std::to_string(n) + ".inf";
            HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
            DWORD got = 0;
            while (ReadFile(file, block, sizeof block, &got, NULL) && got > 0) {
            }
            CloseHandle(file);
        }
        sim::ClearJournal();
    };
    // Warm the page cache and check that every command works.
    Run(cat);
    Run(grep);
    scan();
    if (std::string(package->path) != "C:\\Windows\\inf\\OEM100.inf") {
        fprintf(stderr, "scan_bench: found %s\n", package->path);
        return 1;
    }

    std::vector<double> toCat;
    std::vector<double> toGrep;
    for (int run = 0; run < runs; ++run) {
        double catTime = Time([&] { Run(cat); });
        double grepTime = Time([&] { Run(grep); });
        double readTime = Time(readAll);
        double scanTime = Time(scan);
        printf("run %d: scan %.1f ms, read %.1f ms, cat %.1f ms, grep %.1f ms\n", run + 1, scanTime * 1e3,
               readTime * 1e3, catTime * 1e3, grepTime * 1e3);
        toCat.push_back(scanTime / catTime);
        toGrep.push_back(scanTime / grepTime);
    }
    printf("scan/cat %.2f scan/grep %.2f\n", Median(toCat), Median(toGrep));
    return 0;
}
