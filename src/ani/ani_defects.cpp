// The words for each defect: what is wrong, then what a loader does with it.
#include <cinttypes>
#include <cstdarg>
#include <cstdio>

#include "ani/ani_reader.h"

namespace {

// A chunk id as it can be printed: bytes outside printable ASCII as '?'.
std::string quoted(const char* id) {
  std::string s = "'";
  for (int i = 0; i < 4 && id[i] != '\0'; ++i) {
    const char c = id[i];
    s.push_back(c >= 0x20 && c <= 0x7E ? c : '?');
  }
  return s + "'";
}

std::string format(const char* pattern, ...) {
  char line[512];
  va_list args;
  va_start(args, pattern);
  std::vsnprintf(line, sizeof line, pattern, args);
  va_end(args);
  return line;
}

const char* const kRefuse = "loaders refuse the file";

}  // namespace

AniSeverity aniSeverity(AniDefectKind kind) {
  using K = AniDefectKind;
  switch (kind) {
    case K::RiffSizeCountsHeader:
    case K::OddChunkPadded:
    case K::SequenceFlagWithoutSeq:
    case K::SeqWithoutFlag:
      return AniSeverity::Warning;
    case K::PngImage:
    case K::PngNotChecked:
      return AniSeverity::Note;
    default:
      return AniSeverity::Defect;
  }
}

std::string describeAniDefect(const AniDefect& d) {
  using K = AniDefectKind;
  const uint64_t a = d.a, b = d.b, c = d.c;
  const std::string id = quoted(d.id), parent = quoted(d.parent);
  const auto sa = static_cast<int64_t>(static_cast<int32_t>(a));
  std::string what, then;
  switch (d.kind) {
    case K::NotRiff:
      what = "the file does not begin with a RIFF header";
      then = kRefuse;
      break;
    case K::NotAcon:
      what = "the RIFF form is " + id + ", not 'ACON'";
      then = kRefuse;
      break;
    case K::RiffPastEnd:
      what = format("RIFF size %" PRIu64 " runs %" PRIu64
                    " bytes past the end of the file (%" PRIu64 " bytes)",
                    a, b, c);
      then = "loaders read up to the end of the file and refuse chunks cut short there";
      break;
    case K::RiffSizeCountsHeader:
      what = format("RIFF size %" PRIu64 " counts the 8-byte RIFF header too", a);
      then = "loaders read the file all the same";
      break;
    case K::TrailingBytes:
      what = format("%" PRIu64 " bytes follow the end of the RIFF data", a);
      then = "loaders ignore them";
      break;
    case K::ChunkPastParent:
      what = format("chunk %s of %" PRIu64 " bytes runs %" PRIu64
                    " bytes past the end of its parent %s (at %" PRIu64 ")",
                    id.c_str(), a, b, parent.c_str(), c);
      then = "loaders stop reading there or refuse the file";
      break;
    case K::StrayBytes:
      what = format("%" PRIu64 " bytes left at the end of %s, too few for a chunk header", a,
                    parent.c_str());
      then = "loaders ignore them";
      break;
    case K::PadMissing:
      what = format("chunk %s has the odd size %" PRIu64
                    " but no pad byte: the next chunk starts on an odd offset",
                    id.c_str(), a);
      then = "loaders that skip the pad byte misread every chunk after it";
      break;
    case K::PadOutsideParent:
      what =
          format("chunk %s has the odd size %" PRIu64 " and its parent %s ends before the pad byte",
                 id.c_str(), a, parent.c_str());
      then = "loaders that step over the pad byte read one byte past the parent";
      break;
    case K::PadNotZero:
      what = format("the pad byte after chunk %s is 0x%02" PRIX64 ", not 0", id.c_str(), a);
      then = "loaders skip it";
      break;
    case K::OddChunkPadded:
      what = format("chunk %s has the odd size %" PRIu64
                    " and is followed by its pad byte, as RIFF wants",
                    id.c_str(), a);
      then = "Wine 8 keeps only the first frame of such files";
      break;
    case K::DuplicateChunk:
      what = std::string(d.id) == "fram" ? "a second 'LIST' 'fram'" : "a second " + id + " chunk";
      then = "loaders use only one of them";
      break;
    case K::ListTooShort:
      what = format("'LIST' of %" PRIu64 " bytes cannot hold its list type", a);
      then = "loaders skip it or refuse the file";
      break;
    case K::AnihMissing:
      what = "no 'anih' header chunk";
      then = kRefuse;
      break;
    case K::AnihSize:
      what = format("'anih' chunk holds %" PRIu64 " bytes, not 36", a);
      then = kRefuse;
      break;
    case K::AnihHeaderSize:
      what = format("'anih' gives its own size as %" PRIu64 ", not 36", a);
      then = kRefuse;
      break;
    case K::NoFrames:
      what = "'anih' promises no frames";
      then = kRefuse;
      break;
    case K::NoSteps:
      what = "'anih' promises no steps";
      then = kRefuse;
      break;
    case K::NotIconFrames:
      what = format(
          "'anih' flags 0x%" PRIX64 " lack the icon bit (1): the frames would be raw bitmaps", a);
      then = kRefuse;
      break;
    case K::SequenceFlagWithoutSeq:
      what =
          format("'anih' flags 0x%" PRIX64 " announce a sequence, but there is no 'seq ' chunk", a);
      then = "loaders play the frames in order";
      break;
    case K::SeqWithoutFlag:
      what =
          format("a 'seq ' chunk, but the 'anih' flags 0x%" PRIX64 " lack the sequence bit (2)", a);
      then = "loaders ignore the chunk and play the frames in order, as drawn here";
      break;
    case K::ZeroRate:
      what = d.id[0] == '\0'
                 ? std::string("'anih' display rate is 0 jiffies and there is no 'rate' chunk")
                 : format("'rate' gives step %" PRIu64 " a display time of 0 jiffies", a);
      then = "loaders show the step for no time at all";
      break;
    case K::TextNotTerminated:
      what = "INFO text " + id + " does not end in a zero byte";
      then = "loaders ignore it; programs that show it read on past its end";
      break;
    case K::FramMissing:
      what = "no 'LIST' 'fram' chunk holds the frames";
      then = kRefuse;
      break;
    case K::NotIconChunk:
      what = "chunk " + id + " in the frame list, where only 'icon' chunks belong";
      then = "strict loaders refuse the file";
      break;
    case K::FramesMissing:
      what = format("'anih' promises %" PRIu64 " frames, the frame list holds %" PRIu64, a, b);
      then = kRefuse;
      break;
    case K::FramesExtra:
      what = format("'anih' promises %" PRIu64 " frames, the frame list holds %" PRIu64, a, b);
      then = "loaders ignore the frames past the promised number";
      break;
    case K::StepsDisagree:
      what = format("'anih' promises %" PRIu64 " steps for %" PRIu64
                    " frames and there is no 'seq ' chunk",
                    a, b);
      then = a > b ? "loaders refuse the file or show frames that are not there"
                   : "loaders play only the first steps";
      break;
    case K::SeqCount:
      what = format("'seq ' holds %" PRIu64 " entries, 'anih' promises %" PRIu64 " steps", a, b);
      then = a < b ? kRefuse : "loaders ignore the entries past the promised steps";
      break;
    case K::RateCount:
      what = format("'rate' holds %" PRIu64 " entries, 'anih' promises %" PRIu64 " steps", a, b);
      then = a < b ? kRefuse : "loaders ignore the entries past the promised steps";
      break;
    case K::NotWholeWords:
      what = format("chunk %s of %" PRIu64 " bytes is not a whole number of 4-byte entries",
                    id.c_str(), a);
      then = "loaders ignore the last bytes";
      break;
    case K::SeqOutOfRange:
      what =
          format("step %" PRIu64 " shows frame %" PRIu64 ", but there are only %" PRIu64 " frames",
                 a, b, c);
      then = kRefuse;
      break;
    case K::TooManyFrames:
      what = format("more than %" PRIu64 " frames; the rest are not checked here", a);
      then = "loaders may run out of memory";
      break;
    case K::TooManyImages:
      what = format("more than %" PRIu64 " images in all; the rest are not checked here", a);
      then = "loaders may run out of memory";
      break;
    case K::IconTooShort:
      what = format(
          "'icon' chunk of %" PRIu64 " bytes is too short for an icon directory (6 bytes)", a);
      then = kRefuse;
      break;
    case K::DirReserved:
      what = format("icon directory: reserved word is %" PRIu64 ", not 0", a);
      then = "strict loaders refuse the file";
      break;
    case K::DirType:
      what = format("icon directory: type %" PRIu64 " is neither icon (1) nor cursor (2)", a);
      then = kRefuse;
      break;
    case K::DirCount:
      what = "icon directory lists no image";
      then = kRefuse;
      break;
    case K::EntriesPastChunk:
      what = format("the %" PRIu64 " directory entries run %" PRIu64 " bytes past the 'icon' chunk",
                    a, b);
      then = kRefuse;
      break;
    case K::ImageOverlapsDirectory:
      what = format("image offset %" PRIu64 " lies inside the %" PRIu64 "-byte directory", a, b);
      then = kRefuse;
      break;
    case K::ImageOffsetPastChunk:
      what = format("image offset %" PRIu64 " lies past the end of the 'icon' chunk (%" PRIu64
                    " bytes)",
                    a, b);
      then = kRefuse;
      break;
    case K::ImagePastChunk:
      what = format("image of %" PRIu64 " bytes runs %" PRIu64
                    " bytes past the end of the 'icon' chunk",
                    a, b);
      then = kRefuse;
      break;
    case K::PngImage:
      return "PNG image (Windows Vista and later)";
    case K::PngDamaged:
      what = "PNG image cannot be decoded (damaged)";
      then = kRefuse;
      break;
    case K::PngNotChecked:
      what =
          format("%" PRIu64 " PNG images past this one were not decoded here (too many pixels)", a);
      then = "only their headers were checked";
      break;
    case K::HeaderSize:
      what = format("bitmap header of %" PRIu64 " bytes, not 40", a);
      then = "strict loaders refuse the file";
      break;
    case K::HeaderPastImage:
      what = format("%" PRIu64 " bytes of image are too few for a %" PRIu64 "-byte bitmap header",
                    a, b);
      then = kRefuse;
      break;
    case K::BadWidth:
      what = format("bitmap width %" PRId64 " is not positive", sa);
      then = kRefuse;
      break;
    case K::BadHeight:
      what = format("bitmap height %" PRId64
                    " is not twice a positive height (rows bottom-up, then the mask)",
                    sa);
      then = kRefuse;
      break;
    case K::OddHeight:
      what = format("bitmap height %" PRIu64 " is odd: it should be twice the visible height", a);
      then = "loaders take half of it, rounded down, and misplace the mask";
      break;
    case K::Planes:
      what = format("bitmap planes %" PRIu64 ", not 1", a);
      then = "strict loaders refuse the file";
      break;
    case K::Depth:
      what = format("bitmap depth of %" PRIu64 " bits is not one of 1, 4, 8, 24 and 32", a);
      then = kRefuse;
      break;
    case K::Compression:
      what = format("bitmap compression %" PRIu64 ", not 0 (uncompressed)", a);
      then = kRefuse;
      break;
    case K::FrameTooLarge:
      what =
          format("frame of %" PRIu64 " x %" PRIu64 " pixels is larger than this tool reads", a, b);
      then = "loaders may run out of memory";
      break;
    case K::PaletteTooLarge:
      what =
          format("biClrUsed %" PRIu64 " exceeds the %" PRIu64 " colours of a %" PRIu64 "-bit image",
                 a, b, c);
      then = "loaders differ: some refuse the file, some read the rows from the wrong place";
      break;
    case K::PalettePastImage:
      what = format("palette of %" PRIu64 " entries runs past the image (%" PRIu64 " bytes left)",
                    a, b);
      then = kRefuse;
      break;
    case K::ColourPastImage:
      what = format("colour rows need %" PRIu64 " bytes, the image has %" PRIu64 " left", a, b);
      then = kRefuse;
      break;
    case K::MaskPastImage:
      what = format("AND mask needs %" PRIu64 " bytes, the image has %" PRIu64 " left", a, b);
      then = kRefuse;
      break;
    case K::EntryWidth:
      what = format("directory entry width %" PRIu64 " disagrees with the bitmap width %" PRIu64, a,
                    b);
      then = "loaders that size the frame from the entry stretch or crop it";
      break;
    case K::EntryHeight:
      what = format("directory entry height %" PRIu64 " disagrees with the bitmap height %" PRIu64,
                    a, b);
      then = "loaders that size the frame from the entry stretch or crop it";
      break;
    case K::IndexPastPalette:
      what = format("%" PRIu64 " pixels use colours past the palette's %" PRIu64 " entries", a, b);
      then = "loaders draw them black";
      break;
  }
  return what + "; " + then;
}
