#include "viewer/capture_file.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace viewer {

std::string NormalFormat(const std::string& format) {
  std::string f;
  for (char c : format) f += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (f == "jpg" || f == "jpeg") return "jpg";
  if (f == "bmp") return "bmp";
  return "png";
}

int NormalDelay(long long seconds) {
  for (int d : kCaptureDelays)
    if (seconds == d) return d;
  return 0;
}

std::string FormatExtension(const std::string& format) { return "." + NormalFormat(format); }

LocalTime TimeOfDays(double days) {
  LocalTime t;
  if (!std::isfinite(days) || days < 0 || days > 2958465.0) return t;  // up to 9999-12-31
  // Whole seconds, rounded, so that 09:30:00 is not 09:29:59.
  long long seconds = std::llround(days * 86400.0);
  long long day = seconds / 86400;
  long long rest = seconds % 86400;
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest / 60 % 60);
  t.second = static_cast<int>(rest % 60);
  // Days since 1899-12-30 to a civil date (the proleptic Gregorian calendar).
  long long z = day - 25569 + 719468;  // 1970-01-01 is day 25569
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long doe = z - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  return t;
}

namespace {
std::string Two(int v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}
}  // namespace

bool IsDeviceName(const std::string& name) {
  std::string base = name.substr(0, name.find('.'));
  while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"})
    if (base == device) return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

namespace {
// A title's first characters (UTF-8, never a character cut in two).
std::string FirstCharacters(const std::string& text, size_t count) {
  size_t end = 0, n = 0;
  while (end < text.size() && n < count) {
    ++end;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    ++n;
  }
  return text.substr(0, end);
}

void AppendNameText(std::string& out, const std::string& text) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    const bool forbidden = u < 0x20 || u == 0x7F || std::string("\\/:*?\"<>|").find(c) != std::string::npos;
    out += forbidden ? '_' : c;
  }
}
}  // namespace

std::string ExpandPattern(const std::string& pattern, const LocalTime& t, const CaptureSubject& subject) {
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size()) {
      char k = pattern[i + 1];
      std::string value;
      bool known = true;
      switch (k) {
        case 'Y': value = std::to_string(t.year); break;
        case 'm': value = Two(t.month); break;
        case 'd': value = Two(t.day); break;
        case 'H': value = Two(t.hour); break;
        case 'M': value = Two(t.minute); break;
        case 'S': value = Two(t.second); break;
        case 'T': value = FirstCharacters(subject.title, kMaxTitleInName); break;
        case 'W': value = std::to_string(subject.width); break;
        case 'h': value = std::to_string(subject.height); break;
        case '%': value = "%"; break;
        default: known = false; break;
      }
      if (known) {
        AppendNameText(out, value);  // a title may hold any character
        ++i;
        continue;
      }
    }
    AppendNameText(out, std::string(1, c));
  }
  // The system drops trailing dots and blanks from names.
  while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
  if (out.empty()) out = "kivo";
  if (IsDeviceName(out)) out = "_" + out;
  return out;
}

std::string JoinPath(const std::string& folder, const std::string& file) {
  if (folder.empty()) return file;
  char last = folder.back();
  return last == '\\' || last == '/' ? folder + file : folder + "\\" + file;
}

ScreenRect RegionBetween(int anchorX, int anchorY, int cornerX, int cornerY) {
  return ScreenRect{std::min(anchorX, cornerX), std::min(anchorY, cornerY), std::max(anchorX, cornerX) + 1,
                    std::max(anchorY, cornerY) + 1};
}

ScreenRect ClipRegion(const ScreenRect& r, const ScreenRect& screen) {
  ScreenRect out{std::max(r.left, screen.left), std::max(r.top, screen.top), std::min(r.right, screen.right),
                 std::min(r.bottom, screen.bottom)};
  if (out.right <= out.left || out.bottom <= out.top) return ScreenRect{};
  return out;
}

std::string FormatRegion(const ScreenRect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.Width()) + "," +
         std::to_string(r.Height());
}

bool ParseRegion(const std::string& text, ScreenRect& region) {
  long long v[4] = {};
  size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (at >= text.size() || text[at] != ',') return false;
      ++at;
    }
    bool negative = at < text.size() && text[at] == '-';
    if (negative) ++at;
    size_t digits = 0;
    long long n = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 10) {
      n = n * 10 + (text[at] - '0');
      ++at;
      ++digits;
    }
    if (digits == 0 || (at < text.size() && text[at] >= '0' && text[at] <= '9')) return false;
    v[i] = negative ? -n : n;
  }
  if (at != text.size()) return false;
  // Screens are at most a few tens of thousands of pixels in any direction.
  constexpr long long kFar = 1000000;
  if (v[2] <= 0 || v[3] <= 0 || v[2] > kFar || v[3] > kFar || v[0] < -kFar || v[0] > kFar || v[1] < -kFar ||
      v[1] > kFar)
    return false;
  region = ScreenRect{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[0] + v[2]),
                      static_cast<int>(v[1] + v[3])};
  return true;
}

Pixels CropToMonitor(const Pixels& picture, const ScreenRect& screen, const ScreenRect& monitor) {
  // The monitor within the picture, whose top left is the screen's.
  long long left = std::max<long long>(monitor.left, screen.left) - screen.left;
  long long top = std::max<long long>(monitor.top, screen.top) - screen.top;
  long long right = std::min<long long>(monitor.right, screen.right) - screen.left;
  long long bottom = std::min<long long>(monitor.bottom, screen.bottom) - screen.top;
  right = std::min<long long>(right, picture.width);
  bottom = std::min<long long>(bottom, picture.height);
  if (picture.bgr.size() < static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 3)
    return picture;
  if (left < 0 || top < 0 || right <= left || bottom <= top) return picture;
  if (left == 0 && top == 0 && right == picture.width && bottom == picture.height) return picture;
  Pixels out;
  out.width = static_cast<int>(right - left);
  out.height = static_cast<int>(bottom - top);
  out.bgr.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height) * 3);
  const size_t rowBytes = static_cast<size_t>(out.width) * 3;
  for (int y = 0; y < out.height; ++y) {
    const size_t from = (static_cast<size_t>(top + y) * static_cast<size_t>(picture.width) +
                         static_cast<size_t>(left)) * 3;
    std::copy_n(picture.bgr.begin() + static_cast<std::ptrdiff_t>(from), rowBytes,
                out.bgr.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(y) * rowBytes));
  }
  return out;
}

}  // namespace viewer
