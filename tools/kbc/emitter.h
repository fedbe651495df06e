// i386 machine code and module data in one growing block, with labels for jumps and
// the fixups the module image carries: relative ones for calls into the runtime,
// absolute ones for addresses of the module's own data ("__MAIN" plus an offset).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Fixup {
  std::string name;
  int32_t offset;
};

class Emitter {
 public:
  std::vector<uint8_t> bytes;
  std::vector<Fixup> relative;
  std::vector<Fixup> absolute;

  int32_t here() const { return int32_t(bytes.size()); }
  void byte(uint8_t b) { bytes.push_back(b); }
  void bytesOf(std::initializer_list<uint8_t> list) { bytes.insert(bytes.end(), list); }
  void word(uint32_t w) {
    for (int s = 0; s < 32; s += 8) {
      bytes.push_back(uint8_t(w >> s));
    }
  }
  void patchWord(int32_t at, uint32_t w) {
    for (int s = 0; s < 32; s += 8) {
      bytes[at + s / 8] = uint8_t(w >> s);
    }
  }
  // A word that becomes the absolute address of module offset `target`.
  void addressWord(int32_t target) {
    absolute.push_back({"__MAIN", here()});
    word(uint32_t(target));
  }
  // A word that becomes the address of a runtime symbol (by link name).
  void symbolWord(const std::string& linkName) {
    absolute.push_back({linkName, here()});
    word(0);
  }

  // Labels: jumps to a label not yet placed are patched when it is placed.
  int newLabel() {
    labels_.push_back(-1);
    pending_.emplace_back();
    return int(labels_.size()) - 1;
  }
  void place(int label) {
    labels_[label] = here();
    for (int32_t site : pending_[label]) {
      patchWord(site, uint32_t(here() - (site + 4)));
    }
    pending_[label].clear();
  }
  bool placed(int label) const { return labels_[label] >= 0; }

  void jmp(int label) {
    byte(0xE9);
    rel(label);
  }
  // cc: the low nibble of the 0F 8x opcode (4 = e/z, 5 = ne/nz, 2 = b, 3 = ae, ...).
  void jcc(int cc, int label) {
    bytesOf({0x0F, uint8_t(0x80 | cc)});
    rel(label);
  }
  void callLabel(int label) {
    byte(0xE8);
    rel(label);
  }
  // call to a runtime entry by link name.
  void call(const std::string& linkName) {
    byte(0xE8);
    relative.push_back({linkName, here()});
    word(uint32_t(-4));
  }

  // The frequent moves; d is an ebp displacement.
  void loadLocal(int32_t d) { bytesOf({0x8B, 0x85}); word(uint32_t(d)); }    // mov eax,[ebp+d]
  void storeLocal(int32_t d) { bytesOf({0x89, 0x85}); word(uint32_t(d)); }   // mov [ebp+d],eax
  void leaLocal(int32_t d) { bytesOf({0x8D, 0x85}); word(uint32_t(d)); }     // lea eax,[ebp+d]
  void loadGlobal(int32_t off) { byte(0xA1); addressWord(off); }             // mov eax,[abs]
  void storeGlobal(int32_t off) { byte(0xA3); addressWord(off); }            // mov [abs],eax
  void movEaxAddress(int32_t off) { byte(0xB8); addressWord(off); }          // mov eax,abs
  void movEax(int32_t value) { byte(0xB8); word(uint32_t(value)); }
  void pushEax() { byte(0x50); }
  void popEax() { byte(0x58); }
  void popEcx() { byte(0x59); }
  void pushEcx() { byte(0x51); }
  void pushImm(int32_t value) { byte(0x68); word(uint32_t(value)); }
  void pushAddress(int32_t off) { byte(0x68); addressWord(off); }
  void addEsp(int32_t n) {
    if (n == 0) {
      return;
    }
    if (n < 128) {
      bytesOf({0x83, 0xC4, uint8_t(n)});
    } else {
      bytesOf({0x81, 0xC4});
      word(uint32_t(n));
    }
  }
  void ret() { byte(0xC3); }
  void align4() {
    while (bytes.size() % 4) {
      byte(0);
    }
  }

 private:
  std::vector<int32_t> labels_;
  std::vector<std::vector<int32_t>> pending_;

  void rel(int label) {
    if (labels_[label] >= 0) {
      word(uint32_t(labels_[label] - (here() + 4)));
    } else {
      pending_[label].push_back(here());
      word(0);
    }
  }
};
