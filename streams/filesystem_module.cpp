// The filesystem module: file streams as ksStream handles, directory listings and
// whole-file operations through the run's sysFileSystem. It owns every file stream it
// opened and closes those still open when it is destroyed.
#include <set>

#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "host/sys_runtime.h"
#include "runtime/entry.h"
#include "runtime/modules.h"
#include "streams/file_stream.h"
#include "streams/filesystem_commands.h"
#include "streams/sys_file_system.h"

namespace {

const char* const kNoFile = "File does not exist";
const char* const kNoDirectory = "Directory does not exist";

// Every file stream the program holds.
std::set<FileStream*> fileStreams;

// The run's manager, taken from the sysRuntime at create and handed back at destroy;
// without a sysRuntime (tests) the module makes and owns it.
sysFileSystem* fileSystem = nullptr;
bool ownsManager = false;

FileStream* liveFile(int32_t handle) {
  FileStream* const file = reinterpret_cast<FileStream*>(static_cast<intptr_t>(handle));
  return fileStreams.count(file) != 0 ? file : nullptr;
}

sysDir* dirFromHandle(int32_t handle) {
  return reinterpret_cast<sysDir*>(static_cast<intptr_t>(handle));
}

int32_t openAs(ksStr* filename, FileStream::Mode mode) {
  const std::string name = ksStrTake(filename);
  FileStream* const file = FileStream::open(name, mode);
  if (!file) {
    return 0;
  }
  fileStreams.insert(file);
  return streamHandle(file);
}

// Positions beyond 32 bits keep their low 32 bits; -1 stays -1.
int32_t low32(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

}  // namespace

namespace filecmd {

int32_t openFile(ksStr* filename) { return openAs(filename, FileStream::Mode::ReadWrite); }

int32_t readFile(ksStr* filename) { return openAs(filename, FileStream::Mode::Read); }

int32_t writeFile(ksStr* filename) { return openAs(filename, FileStream::Mode::Write); }

// Outside debug mode a handle that is not a live file stream is ignored, so a second
// CloseFile of the same handle cannot free it twice.
void closeFile(int32_t handle) {
  FileStream* const file = liveFile(handle);
  if (!file) {
    if (debugMode) {
      runtimeError(kNoFile);
    }
    return;
  }
  fileStreams.erase(file);
  delete file;
}

// Handles that are not live file streams have no position: -1.
int32_t filePos(int32_t handle) {
  FileStream* const file = liveFile(handle);
  return file ? low32(file->position()) : -1;
}

int32_t seekFile(int32_t handle, int32_t pos) {
  FileStream* const file = liveFile(handle);
  return file ? low32(file->seek(pos)) : -1;
}

int32_t readDir(ksStr* dirname) {
  const std::string name = ksStrTake(dirname);
  sysDir* const dir = fileSystem->openDir(name);
  return static_cast<int32_t>(reinterpret_cast<intptr_t>(dir));
}

void closeDir(int32_t handle) { fileSystem->closeDir(dirFromHandle(handle)); }

// Outside debug mode an unknown or closed listing reads as exhausted.
ksStr* nextFile(int32_t handle) {
  sysDir* const dir = dirFromHandle(handle);
  if (!fileSystem->dirExists(dir)) {
    if (debugMode) {
      runtimeError(kNoDirectory);
    }
    return ksStrNew();
  }
  return ksStrNew(dir->next());
}

ksStr* currentDir() { return ksStrNew(fileSystem->currentDir()); }

void changeDir(ksStr* dir) { fileSystem->setCurrentDir(ksStrTake(dir)); }

void createDir(ksStr* dir) { fileSystem->createDir(ksStrTake(dir)); }

void deleteDir(ksStr* dir) { fileSystem->removeDir(ksStrTake(dir)); }

int32_t fileSize(ksStr* file) { return low32(fileSystem->fileSize(ksStrTake(file))); }

int32_t fileType(ksStr* file) { return fileSystem->fileType(ksStrTake(file)); }

void copyFile(ksStr* file, ksStr* to) {
  const std::string from = ksStrTake(file);
  fileSystem->copyFile(from, ksStrTake(to));
}

void deleteFile(ksStr* file) { fileSystem->deleteFile(ksStrTake(file)); }

}  // namespace filecmd

// The sysRuntime hands out one manager at a time: while one is out, none can be had.
bool filesystem_create() {
  if (currentRuntime) {
    if (currentRuntime->fileSystem) {
      return false;
    }
    fileSystem = new sysFileSystem;
    currentRuntime->fileSystem = fileSystem;
    return true;
  }
  if (ownsManager) {
    return false;
  }
  fileSystem = new sysFileSystem;
  ownsManager = true;
  return true;
}

void filesystem_destroy() {
  while (!fileStreams.empty()) {
    FileStream* const file = *fileStreams.begin();
    fileStreams.erase(fileStreams.begin());
    delete file;
  }
  // Deleting the manager frees every listing still open.
  if (currentRuntime && currentRuntime->fileSystem == fileSystem) {
    currentRuntime->fileSystem = nullptr;
    delete fileSystem;
  } else if (ownsManager) {
    delete fileSystem;
  }
  fileSystem = nullptr;
  ownsManager = false;
}

void filesystem_link(LinkCallback callback) {
  using namespace filecmd;
  callback("%OpenFile$filename", ksEntry<&openFile>());
  callback("%ReadFile$filename", ksEntry<&readFile>());
  callback("%WriteFile$filename", ksEntry<&writeFile>());
  callback("CloseFile%file_stream", ksEntry<&closeFile>());
  callback("%FilePos%file_stream", ksEntry<&filePos>());
  callback("%SeekFile%file_stream%pos", ksEntry<&seekFile>());
  callback("%ReadDir$dirname", ksEntry<&readDir>());
  callback("CloseDir%dir", ksEntry<&closeDir>());
  callback("$NextFile%dir", ksEntry<&nextFile>());
  callback("$CurrentDir", ksEntry<&currentDir>());
  callback("ChangeDir$dir", ksEntry<&changeDir>());
  callback("CreateDir$dir", ksEntry<&createDir>());
  callback("DeleteDir$dir", ksEntry<&deleteDir>());
  callback("%FileSize$file", ksEntry<&fileSize>());
  callback("%FileType$file", ksEntry<&fileType>());
  callback("CopyFile$file$to", ksEntry<&copyFile>());
  callback("DeleteFile$file", ksEntry<&deleteFile>());
}
