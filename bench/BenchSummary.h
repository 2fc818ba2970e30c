#pragma once
// One figure of a benchmark run, printed beside the baseline measured in the same run.
// Each call appends one JSON line to the file named by SK_BENCH_SUMMARY; scripts/bench.sh
// gathers the lines into bench-summary.json.

#include <cstdio>
#include <cstdlib>
#include <string>

inline void benchReport(const std::string &name, double value, const std::string &unit,
                        const std::string &baseline, double baselineValue, double ratio)
{
    std::printf("%-48s %14.3f %-10s | %-40s %14.3f | ratio %.3f\n", name.c_str(), value,
                unit.c_str(), baseline.c_str(), baselineValue, ratio);
    const char *path = std::getenv("SK_BENCH_SUMMARY");
    if (!path)
        return;
    if (FILE *f = std::fopen(path, "a")) {
        std::fprintf(f,
                     "{\"name\": \"%s\", \"value\": %.6g, \"unit\": \"%s\", \"baseline\": \"%s\", "
                     "\"baseline_value\": %.6g, \"ratio\": %.6g}\n",
                     name.c_str(), value, unit.c_str(), baseline.c_str(), baselineValue, ratio);
        std::fclose(f);
    }
}

// Folder for simulated benchmark data (made once, reused by later runs).
inline std::string benchDataDir()
{
    const char *dir = std::getenv("SK_BENCH_DATA");
    return dir ? dir : "/tmp";
}
