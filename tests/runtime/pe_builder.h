// Writes small PE32 executables in memory for the resource reader's tests: DOS header,
// PE header, one .rsrc section holding the resource tree (directories, then data
// entries, then data), and no padding after the last resource's bytes.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

struct TestResource {
  uint32_t type;
  uint32_t id;
  uint16_t language;
  std::vector<uint8_t> bytes;
};

// File offsets of the parts of a built executable; the directories and entries are those
// of the first type, id and language (in sorted order).
struct PeLayout {
  size_t peHeader = 0x40;
  size_t optionalHeader = 0x58;
  size_t numberOfDirectories = 0x58 + 92;
  size_t resourceDirectory = 0x58 + 112;  // its data directory entry: RVA, size
  size_t sectionTable = 0x138;
  size_t tree = 0x200;  // the root directory
  size_t typeEntry = 0;  // the root's first entry
  size_t typeDirectory = 0;
  size_t idEntry = 0;
  size_t idDirectory = 0;
  size_t languageEntry = 0;
  size_t dataEntry = 0;
  size_t data = 0;
};

constexpr uint32_t kTestSectionAddress = 0x1000;

inline void putHalf(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  out[at] = uint8_t(value);
  out[at + 1] = uint8_t(value >> 8);
}

inline void putWord(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out[at + size_t(i)] = uint8_t(value >> (8 * i));
  }
}

inline uint32_t getWord(const std::vector<uint8_t>& in, size_t at) {
  return uint32_t(in[at]) | uint32_t(in[at + 1]) << 8 | uint32_t(in[at + 2]) << 16 | uint32_t(in[at + 3]) << 24;
}

inline std::vector<uint8_t> buildPe(const std::vector<TestResource>& resources, PeLayout* layoutOut = nullptr) {
  PeLayout layout;
  std::map<uint32_t, std::map<uint32_t, std::map<uint16_t, const std::vector<uint8_t>*>>> tree;
  for (const TestResource& r : resources) {
    tree[r.type][r.id][r.language] = &r.bytes;
  }
  // First pass: where every directory, data entry and datum goes (offsets in the tree).
  size_t at = 16 + 8 * tree.size();
  std::map<uint32_t, size_t> typeDirs;
  std::map<std::pair<uint32_t, uint32_t>, size_t> idDirs;
  for (const auto& [type, ids] : tree) {
    typeDirs[type] = at;
    at += 16 + 8 * ids.size();
  }
  for (const auto& [type, ids] : tree) {
    for (const auto& [id, languages] : ids) {
      idDirs[{type, id}] = at;
      at += 16 + 8 * languages.size();
    }
  }
  std::vector<std::pair<size_t, const std::vector<uint8_t>*>> dataEntries;
  std::map<std::tuple<uint32_t, uint32_t, uint16_t>, size_t> entryOf;
  for (const auto& [type, ids] : tree) {
    for (const auto& [id, languages] : ids) {
      for (const auto& [language, bytes] : languages) {
        entryOf[{type, id, language}] = at;
        dataEntries.push_back({at, bytes});
        at += 16;
      }
    }
  }
  std::vector<size_t> dataAt;
  for (size_t i = 0; i < dataEntries.size(); ++i) {
    at = (at + 3) & ~size_t(3);
    dataAt.push_back(at);
    at += dataEntries[i].second->size();
  }
  const size_t treeSize = at;

  std::vector<uint8_t> out(layout.tree + treeSize, 0);
  out[0] = 'M';
  out[1] = 'Z';
  putWord(out, 0x3C, uint32_t(layout.peHeader));
  putWord(out, layout.peHeader, 0x00004550);
  putHalf(out, layout.peHeader + 4, 0x14C);   // i386
  putHalf(out, layout.peHeader + 6, 1);       // one section
  putHalf(out, layout.peHeader + 20, 224);    // optional header size
  putHalf(out, layout.peHeader + 22, 0x102);  // executable, 32-bit
  putHalf(out, layout.optionalHeader, 0x10B);
  putWord(out, layout.numberOfDirectories, 16);
  putWord(out, layout.resourceDirectory, kTestSectionAddress);
  putWord(out, layout.resourceDirectory + 4, uint32_t(treeSize));
  const size_t section = layout.sectionTable;
  const char name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
  std::copy(name, name + 8, out.begin() + std::ptrdiff_t(section));
  putWord(out, section + 8, uint32_t(treeSize));
  putWord(out, section + 12, kTestSectionAddress);
  putWord(out, section + 16, uint32_t(treeSize));
  putWord(out, section + 20, uint32_t(layout.tree));

  const auto directory = [&](size_t offset, size_t count) {
    putHalf(out, layout.tree + offset + 14, uint32_t(count));
  };
  const auto entry = [&](size_t offset, size_t index, uint32_t id, uint32_t value) {
    putWord(out, layout.tree + offset + 16 + 8 * index, id);
    putWord(out, layout.tree + offset + 16 + 8 * index + 4, value);
  };
  directory(0, tree.size());
  size_t t = 0;
  for (const auto& [type, ids] : tree) {
    entry(0, t++, type, 0x80000000u | uint32_t(typeDirs[type]));
    directory(typeDirs[type], ids.size());
    size_t i = 0;
    for (const auto& [id, languages] : ids) {
      entry(typeDirs[type], i++, id, 0x80000000u | uint32_t(idDirs[{type, id}]));
      directory(idDirs[{type, id}], languages.size());
      size_t l = 0;
      for (const auto& [language, bytes] : languages) {
        entry(idDirs[{type, id}], l++, language, uint32_t(entryOf[{type, id, language}]));
      }
    }
  }
  for (size_t i = 0; i < dataEntries.size(); ++i) {
    const size_t e = layout.tree + dataEntries[i].first;
    putWord(out, e, kTestSectionAddress + uint32_t(dataAt[i]));
    putWord(out, e + 4, uint32_t(dataEntries[i].second->size()));
    std::copy(dataEntries[i].second->begin(), dataEntries[i].second->end(),
              out.begin() + std::ptrdiff_t(layout.tree + dataAt[i]));
  }
  if (!tree.empty()) {
    const auto& [type, ids] = *tree.begin();
    const auto& [id, languages] = *ids.begin();
    layout.typeEntry = layout.tree + 16;
    layout.typeDirectory = layout.tree + typeDirs[type];
    layout.idEntry = layout.typeDirectory + 16;
    layout.idDirectory = layout.tree + idDirs[{type, id}];
    layout.languageEntry = layout.idDirectory + 16;
    layout.dataEntry = layout.tree + entryOf[{type, id, languages.begin()->first}];
    layout.data = layout.tree + dataAt[0];
  }
  if (layoutOut) {
    *layoutOut = layout;
  }
  return out;
}
