#include "base/failure.h"

#include <array>
#include <string>

#include "base/captions.h"
#include "base/runtime.h"
#include "platform/platform.h"

namespace {

struct FailureText {
  Failure why;
  const char* caption;
  const char* reason;
};

constexpr const char* kLoad = caption::kCantLoadFile;
constexpr const char* kMask = caption::kCantMakeMask;

constexpr std::array kTexts = {
    FailureText{Failure::none, nullptr, nullptr},
    FailureText{Failure::cannotOpen, kLoad, nullptr},
    FailureText{Failure::fileSize, kLoad, "not a BMP (not 12 to 65535 bytes long)"},
    FailureText{Failure::fileTooLarge, kLoad,
                "too large (a 32-bit BMP or a PNG of more than 16 MiB)"},
    FailureText{Failure::outOfMemory, kLoad, "out of memory"},
    FailureText{Failure::readFailed, kLoad, "could not be read whole"},
    FailureText{Failure::notBitmap, kLoad, "not a BMP or PNG"},
    FailureText{Failure::headerSize, kLoad, "a BMP header older or shorter than 40 bytes"},
    FailureText{Failure::headerPastEnd, kLoad, "not a BMP (its header runs past the end)"},
    FailureText{Failure::compressed, kLoad, "a compressed BMP"},
    FailureText{Failure::planes, kLoad, "a BMP of more than one plane"},
    FailureText{Failure::depth, kLoad,
                "a BMP of unsupported depth (not 8, 24 or 32 bits per pixel)"},
    FailureText{Failure::negativeWidth, kLoad, "a BMP of negative width"},
    FailureText{Failure::rowsOutsideFile, kLoad, "a BMP whose pixel rows run past its end"},
    FailureText{Failure::paletteTooLarge, kLoad, "a BMP of more than 256 colours"},
    FailureText{Failure::paletteOutsideFile, kLoad, "a BMP whose palette runs past its end"},
    FailureText{Failure::changedWhileRead, kLoad, "changed while it was read"},
    FailureText{Failure::noPixels, kLoad, "a BMP without pixels"},
    FailureText{Failure::tooManyPixels, kLoad, "too large (more than 1024 x 1024 pixels)"},
    FailureText{Failure::damagedBitmap, kLoad, "a damaged BMP"},
    FailureText{Failure::damagedPng, kLoad, "a damaged PNG"},
    FailureText{Failure::pathTooLong, kLoad, "path too long"},
    FailureText{Failure::changedSinceAdded, kLoad, "changed since it was added"},
    FailureText{Failure::mixedDepths, caption::kMixedDepths, nullptr},
    FailureText{Failure::hotspotOutside, "Hotspot outside the image", nullptr},
    FailureText{Failure::maskBadSize, kMask, nullptr},
    FailureText{Failure::maskOutOfMemory, kMask, nullptr},
    FailureText{Failure::scriptUnreadable, nullptr,
                "cannot read the build script (missing, unreadable or empty)"},
    FailureText{Failure::noResultSection, nullptr,
                "script has no [Result] section naming the output file"},
    FailureText{Failure::outputPathTooLong, caption::kCantWriteFile, "path too long"},
    FailureText{Failure::tooFewFrames, nullptr,
                "script lists fewer than two frames in its [BMP] section"},
    FailureText{Failure::badScript, "Bad build script", nullptr},
    FailureText{Failure::replacesAnInput, caption::kCantWriteFile, kReplacesAnInput},
    FailureText{Failure::notWritten, nullptr, "no animation was written to"},
    FailureText{Failure::nameTooShort, nullptr, nullptr},
    FailureText{Failure::nameTooLong, caption::kCantWriteFile, nullptr},
};

// The table is indexed by the enum: every value has its row, in order.
constexpr bool tableInOrder() {
  for (size_t i = 0; i < kTexts.size(); ++i) {
    if (static_cast<size_t>(kTexts[i].why) != i) return false;
  }
  return kTexts.back().why == Failure::nameTooLong;
}
static_assert(tableInOrder());

const FailureText& row(Failure why) {
  const auto i = static_cast<size_t>(why);
  return i < kTexts.size() ? kTexts[i] : kTexts[static_cast<size_t>(Failure::notBitmap)];
}

}  // namespace

const char* failureCaption(Failure why) { return row(why).caption; }

const char* failureReason(Failure why) {
  if (why == Failure::cannotOpen) return plat::lastFileError();
  return row(why).reason;
}

void reportFailure(Failure why, const char* path) { reportFailure(why, path, path); }

void reportFailure(Failure why, const char* shown, const char* named) {
  // Asked before the box: for a file that did not open the reason is the
  // system's, which the box may change.
  const char* reason = failureReason(why);
  const std::string kept = reason != nullptr ? reason : "";
  const char* caption = failureCaption(why);
  if (caption != nullptr) showError(caption, shown);
  if (reason != nullptr) explainFailure(kept.c_str(), named);
}
