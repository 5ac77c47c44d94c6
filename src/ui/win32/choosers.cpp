#include "ui/win32/choosers.h"

#include <commdlg.h>

#include <cstddef>
#include <cstring>

#include "base/runtime.h"
#include "ui/file_names.h"
#include "ui/state.h"

namespace {

constexpr DWORD kOpenFlags = OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST |
                             OFN_EXPLORER | OFN_NODEREFERENCELINKS | OFN_ENABLESIZING;
// No OFN_FILEMUSTEXIST here: Windows would then let only existing names
// through, and a new file could never be saved.
constexpr DWORD kSaveFlags =
    OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING;
static_assert(kOpenFlags == 0x00981204);
static_assert(kSaveFlags == 0x00880006);
// The file choosers get the description that ends with lpTemplateName,
// without the later extension fields: 76 bytes in the 32-bit program.
constexpr DWORD kOpenFileNameSize =
    offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(OPENFILENAMEA::lpTemplateName);
static_assert(sizeof(void*) != 4 || kOpenFileNameSize == 76);
static_assert(sizeof(void*) != 4 || sizeof(CHOOSECOLORA) == 36);

ChooserSeam g_seam = {chooseOpenFiles, chooseSaveFile, chooseColour};

// The starting folder in a heap block of its own, or null to let the system
// choose (no name given, or no memory for it).
char* startingFolderBlock(const char* text) {
  if (text == nullptr || text[0] == '\0') return nullptr;
  char* block = static_cast<char*>(allocZeroed(kPathCapacity));
  if (block != nullptr) startingFolder(text, block);
  return block;
}

void describe(OPENFILENAMEA& ofn, HWND owner, const char* filter, char* file, DWORD capacity,
              const char* initialDir, const char* title, DWORD flags) {
  std::memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = kOpenFileNameSize;
  ofn.hwndOwner = owner;
  ofn.hInstance = static_cast<HINSTANCE>(appState.instance);
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = capacity;
  ofn.lpstrInitialDir = initialDir;
  ofn.lpstrTitle = title;
  ofn.Flags = flags;
}

}  // namespace

int chooseOpenFiles(char* buffer, const char* title, const char* filter, HWND owner) {
  char* initialDir = startingFolderBlock(buffer);
  buffer[0] = '\0';
  OPENFILENAMEA ofn;
  describe(ofn, owner, filter, buffer, 0xFFFF, initialDir, title, kOpenFlags);
  int result = 0;
  if (GetOpenFileNameA(&ofn)) {
    // A multi-selection ends the directory with a zero where a single path
    // has the separator before its name. The name's extension cannot tell
    // them apart: a single file may have none.
    const bool several = ofn.nFileOffset > 0 && buffer[ofn.nFileOffset - 1] == '\0';
    result = several ? 2 : 1;
  }
  freeBlock(initialDir);
  return result;
}

bool chooseSaveFile(char* buffer, const char* title, const char* filter, HWND owner) {
  char* initialDir = startingFolderBlock(buffer);
  char chosen[kPathCapacity] = {};
  OPENFILENAMEA ofn;
  describe(ofn, owner, filter, chosen, sizeof chosen, initialDir, title, kSaveFlags);
  const bool ok = GetSaveFileNameA(&ofn) != 0;
  if (ok) std::memcpy(buffer, chosen, sizeof chosen);
  freeBlock(initialDir);
  return ok;
}

bool chooseColour(HWND owner, uint32_t& colour) {
  // The system colours from the scroll bar to the button face, afresh on
  // every call: the user's custom colours are not kept.
  COLORREF custom[16];
  for (int i = 0; i < 16; ++i) custom[i] = GetSysColor(i);
  CHOOSECOLORA cc;
  std::memset(&cc, 0, sizeof cc);
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = owner;
  cc.rgbResult = colour;
  cc.lpCustColors = custom;
  cc.Flags = CC_RGBINIT | CC_FULLOPEN;
  if (!ChooseColorA(&cc)) return false;
  colour = cc.rgbResult;
  return true;
}

const ChooserSeam& chooserSeam() { return g_seam; }

ChooserSeam setChooserSeam(const ChooserSeam& seam) {
  ChooserSeam old = g_seam;
  g_seam = seam;
  return old;
}
