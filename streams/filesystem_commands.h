// The filesystem module's handlers: file streams, directory listings and whole-file
// operations. Every string argument is released; string results are new.
#pragma once
#include <cstdint>

#include "basic/ks_str.h"

namespace filecmd {

int32_t openFile(ksStr* filename);
int32_t readFile(ksStr* filename);
int32_t writeFile(ksStr* filename);
void closeFile(int32_t fileStream);
int32_t filePos(int32_t fileStream);
int32_t seekFile(int32_t fileStream, int32_t pos);
int32_t readDir(ksStr* dirname);
void closeDir(int32_t dir);
ksStr* nextFile(int32_t dir);
ksStr* currentDir();
void changeDir(ksStr* dir);
void createDir(ksStr* dir);
void deleteDir(ksStr* dir);
int32_t fileSize(ksStr* file);
int32_t fileType(ksStr* file);
void copyFile(ksStr* file, ksStr* to);
void deleteFile(ksStr* file);

}  // namespace filecmd
