// The members of cBigFiles that make a file of a given size without writing
// its content, and that measure a file.

#include "bigfiles/big_files.h"
#include "bigfiles/file_layer.h"
#include "bigfiles/handle_registry.h"
#include "bigfiles/member_faults.h"
#include "common/stop_flag.h"
#include "common/text.h"
#include "common/yield.h"

namespace torvane {

using bigfiles_detail::Guarded;
using bigfiles_detail::HandleRegistry;
using bigfiles_detail::MemberFault;

void cBigFiles::CalcFileSize(const std::string& strFileName, ByteCount& curFilesize,
                             std::string* strBitsInHex) {
  FileHandle hFile = 0;
  Guarded(
      [&] {
        Yield();
        if (StopFlag) return;
        curFilesize = 0;
        if (OpenReadOnly(strFileName, hFile)) {
          FileLayer& layer = CurrentFileLayer();
          const int fd = HandleRegistry::Descriptor(hFile);
          // Only checks in with the file: the size comes from the descriptor,
          // not from its position.
          (void)layer.Seek(fd, 0);
          const ByteCount size = layer.Size(fd);
          if (size < 0) throw MemberFault(bigfiles_detail::LastSystemError());
          API_CloseFile(hFile);
          const Words words = SplitByteCount(size);
          curFilesize = JoinByteCount(words.low, words.high);
          // The bits, size x 8, need not fit 64 bits; their digits are those
          // of size / 2 followed by 8 for an odd size and 0 for an even one.
          if (strBitsInHex != nullptr) {
            *strBitsInHex = curFilesize == 0 ? std::string("0")
                                             : LargeNumberToHex(curFilesize / 2) +
                                                   (curFilesize % 2 != 0 ? '8' : '0');
          }
        } else {
          curFilesize = -1;  // missing, unreadable, or a stop was requested
        }
        if (hFile > 0) API_CloseFile(hFile);
      },
      [&] {
        curFilesize = 0;
        if (strBitsInHex != nullptr) strBitsInHex->clear();
        API_CloseFile(hFile);
      });
}

bool cBigFiles::CreateBigFile(const std::string& strFileName, ByteCount curFilesize,
                              bool blnVerify) {
  FileHandle hFile = 0;
  return Guarded(
      [&] {
        bool result = false;
        Yield();
        // Checked before the existing file is emptied, so that bad input
        // never costs the user a file.
        bigfiles_detail::CheckFileName(strFileName);
        if (curFilesize < 0) throw MemberFault("The file size is negative.");
        FileLayer& layer = CurrentFileLayer();
        if (PathExists(strFileName)) {
          Yield();
          // Not checked: emptying tells whether the file can be written.
          (void)layer.SetNormalAttributes(strFileName);
          if (!layer.CreateEmpty(strFileName))
            throw MemberFault(bigfiles_detail::LastSystemError());
        }
        if (OpenReadWrite(strFileName, hFile)) {
          result = LoadWithNullValues(hFile, curFilesize);
          // A size that does not survive a crash was not made.
          if (!layer.Sync(HandleRegistry::Descriptor(hFile))) result = false;
          Yield();
          API_CloseFile(hFile);
          if (result && blnVerify) {
            ByteCount measured = -1;  // a stop during the measuring leaves it so
            CalcFileSize(strFileName, measured);
            if (measured != curFilesize) result = false;
          }
        }
        API_CloseFile(hFile);
        return result;
      },
      [&] { API_CloseFile(hFile); });
}

std::string cBigFiles::LargeNumberToHex(ByteCount value) {
  std::string text;
  while (value > 0) {
    text.insert(text.begin(), kHexDigits[value % 16]);
    value /= 16;
  }
  return text;
}

}  // namespace torvane
