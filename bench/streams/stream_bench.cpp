// ReadByte, WriteByte and ReadLine over 10 MB files through their registered entries,
// against fgetc, fputc and std::getline over the same files.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "basic/ks_str.h"
#include "bench/streams/ratio_report.h"
#include "runtime/modules.h"

namespace {

constexpr int kFileSize = 10 * 1024 * 1024;
constexpr int kLineLength = 80;

std::map<std::string, void*> entries;
void collect(CommandSignature signature, void* entry) { entries[signature] = entry; }

template <typename Function>
Function entry(const char* signature) {
  return reinterpret_cast<Function>(entries.at(signature));
}

std::string binaryFile;
std::string textFile;
std::string scratchFile;

std::string makeTemp() {
  char name[] = "/tmp/ks_bench_XXXXXX";
  const int fd = ::mkstemp(name);
  ::close(fd);
  return name;
}

void makeFiles() {
  binaryFile = makeTemp();
  textFile = makeTemp();
  scratchFile = makeTemp();
  std::ofstream binary(binaryFile, std::ios::binary);
  for (int i = 0; i < kFileSize; ++i) {
    binary.put(static_cast<char>(i * 13));
  }
  std::ofstream text(textFile, std::ios::binary);
  const std::string line(kLineLength, 'x');
  for (int written = 0; written < kFileSize; written += kLineLength + 2) {
    text << line << "\r\n";
  }
}

int32_t open(const char* signature, const std::string& path) {
  return entry<int32_t (*)(ksStr*)>(signature)(ksStrNew(path));
}

void close(int32_t file) { entry<void (*)(int32_t)>("CloseFile%file_stream")(file); }

void BM_Fgetc(benchmark::State& state) {
  for (auto _ : state) {
    FILE* file = std::fopen(binaryFile.c_str(), "rb");
    int sum = 0;
    for (int i = 0; i < kFileSize; ++i) {
      sum += std::fgetc(file);
    }
    benchmark::DoNotOptimize(sum);
    std::fclose(file);
  }
}

void BM_ReadByte(benchmark::State& state) {
  auto readByte = entry<int32_t (*)(int32_t)>("%ReadByte%stream");
  for (auto _ : state) {
    const int32_t file = open("%ReadFile$filename", binaryFile);
    int sum = 0;
    for (int i = 0; i < kFileSize; ++i) {
      sum += readByte(file);
    }
    benchmark::DoNotOptimize(sum);
    close(file);
  }
}

void BM_Fputc(benchmark::State& state) {
  for (auto _ : state) {
    FILE* file = std::fopen(scratchFile.c_str(), "wb");
    for (int i = 0; i < kFileSize; ++i) {
      std::fputc(i, file);
    }
    std::fclose(file);
  }
}

void BM_WriteByte(benchmark::State& state) {
  auto writeByte = entry<void (*)(int32_t, int32_t)>("WriteByte%stream%byte");
  for (auto _ : state) {
    const int32_t file = open("%WriteFile$filename", scratchFile);
    for (int i = 0; i < kFileSize; ++i) {
      writeByte(file, i);
    }
    close(file);
  }
}

void BM_Getline(benchmark::State& state) {
  for (auto _ : state) {
    std::ifstream in(textFile, std::ios::binary);
    size_t total = 0;
    for (std::string line; std::getline(in, line);) {
      total += line.size();
    }
    benchmark::DoNotOptimize(total);
  }
}

void BM_ReadLine(benchmark::State& state) {
  auto readLine = entry<ksStr* (*)(int32_t)>("$ReadLine%stream");
  auto eof = entry<int32_t (*)(int32_t)>("%Eof%stream");
  for (auto _ : state) {
    const int32_t file = open("%ReadFile$filename", textFile);
    size_t total = 0;
    while (!eof(file)) {
      ksStr* line = readLine(file);
      total += line->value.size();
      ksStrRelease(line);
    }
    benchmark::DoNotOptimize(total);
    close(file);
  }
}

BENCHMARK(BM_Fgetc)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_ReadByte)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_Fputc)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_WriteByte)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_Getline)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_ReadLine)->Unit(benchmark::kMillisecond)->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
  stream_link(collect);
  filesystem_link(collect);
  filesystem_create();
  makeFiles();
  const int result = runWithRatios(argc, argv,
                                   {{"BM_ReadByte", "BM_Fgetc", 2.0},
                                    {"BM_WriteByte", "BM_Fputc", 2.0},
                                    {"BM_ReadLine", "BM_Getline", 3.0}});
  filesystem_destroy();
  ::unlink(binaryFile.c_str());
  ::unlink(textFile.c_str());
  ::unlink(scratchFile.c_str());
  return result;
}
