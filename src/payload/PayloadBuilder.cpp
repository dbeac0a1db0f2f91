#include "payload/PayloadBuilder.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "payload/InputChecks.h"
#include "payload/StubImage.h"
#include "platform/Platform.h"

namespace szsfx {

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File OpenFile(const std::string& path, const char* mode) { return File(std::fopen(path.c_str(), mode), &std::fclose); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Unescapes one line; literal text is converted to the code page, escaped bytes are not.
bool Unescape(const std::string& line, unsigned codePage, std::string& out, std::string& error) {
  out.clear();
  std::string literal;
  auto flush = [&] {
    std::string converted = InCodePage(literal, codePage, "the text", error);
    literal.clear();
    if (!error.empty()) return false;
    out += converted;
    return true;
  };
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\\') {
      literal += line[i];
      continue;
    }
    if (!flush()) return false;
    if (++i == line.size()) return false;
    switch (line[i]) {
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case '\\':
        out += '\\';
        break;
      case 'x': {
        int hi = i + 1 < line.size() ? HexDigit(line[i + 1]) : -1;
        int lo = i + 2 < line.size() ? HexDigit(line[i + 2]) : -1;
        if (hi < 0 || lo < 0 || (hi == 0 && lo == 0)) return false;  // no NUL inside a message
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  return flush();
}

// The file being written, and the image checksum of what went into it when asked for.
class TOutput {
 public:
  explicit TOutput(std::FILE* file) : file_(file) {}

  // Sums everything written afterwards, the whole file from the stub on; false when the
  // stub is not a Windows image.
  bool SumFor(const std::string& stubPath) {
    File stub = OpenFile(stubPath, "rb");
    std::vector<uint8_t> head(4096);
    head.resize(stub ? std::fread(head.data(), 1, head.size(), stub.get()) : 0);
    uint64_t fieldAt = 0;
    if (!ImageChecksumField(head, fieldAt)) return false;
    checksum_.emplace(fieldAt);
    return true;
  }

  bool Write(const void* data, size_t size) {
    if (checksum_) checksum_->Add(static_cast<const uint8_t*>(data), size);
    return std::fwrite(data, 1, size, file_) == size;
  }

  // Copies a whole file; false when it cannot be read or written completely.
  bool CopyFile(const std::string& path) {
    File in = OpenFile(path, "rb");
    if (!in) return false;
    std::vector<char> chunk(1 << 20);
    size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), in.get())) > 0) {
      if (!Write(chunk.data(), n)) return false;
    }
    return !std::ferror(in.get());
  }

  // Puts the checksum of everything written into the image's field (when summed).
  bool FinishChecksum() {
    if (!checksum_) return true;
    const std::vector<uint8_t> field = checksum_->Field();
    return std::fseek(file_, static_cast<long>(checksum_->FieldAt()), SEEK_SET) == 0 &&
           std::fwrite(field.data(), 1, field.size(), file_) == field.size();
  }

 private:
  std::FILE* file_;
  std::optional<TImageChecksum> checksum_;
};

std::string CheckInputs(const TBuildRequest& r) {
  uint64_t size = 0;
  if (!FileSize(r.StubPath, size)) return "cannot read the stub " + r.StubPath;
  if (size != kStubImageSize) {
    return "the stub " + r.StubPath + " is " + std::to_string(size) + " bytes; a stub must be exactly " +
           std::to_string(kStubImageSize) + " bytes";
  }
  if (!FileSize(r.LibraryPath, size)) return "cannot read the library image " + r.LibraryPath;
  if (size > kLibraryImageSize) {
    return "the library image " + r.LibraryPath + " is " + std::to_string(size) + " bytes, larger than the " +
           std::to_string(kLibraryImageSize) + "-byte slot";
  }
  std::string error = CheckStubAndLibrary(r.StubPath, r.LibraryPath);
  if (error.empty()) error = CheckSevenZipArchive(r.ArchivePath);
  if (!error.empty()) return error;
  if (r.Areas.size() > static_cast<size_t>(kMaxBlocks)) {
    return "at most " + std::to_string(kMaxBlocks) + " message blocks fit a payload";
  }
  for (const auto& area : r.Areas) {
    if (area.size() > kMaxStringArea) {
      return "a message block holds at most " + std::to_string(kMaxStringArea) + " bytes of text";
    }
  }
  return "";
}

bool WritePayload(const TBuildRequest& r, std::FILE* file) {
  TOutput out(file);
  if (r.ImageChecksum && !out.SumFor(r.StubPath)) return false;
  if (!out.CopyFile(r.StubPath) || !out.CopyFile(r.LibraryPath)) return false;
  uint64_t library = 0;
  FileSize(r.LibraryPath, library);
  const std::vector<char> zeros(kLibraryImageSize - library, 0);
  if (!out.Write(zeros.data(), zeros.size())) return false;
  for (const auto& area : r.Areas) {
    const std::vector<uint8_t> block = EncodeBlock(area);
    if (!out.Write(block.data(), block.size())) return false;
  }
  return out.Write(&r.Settings, kSettingsRecordSize) && out.CopyFile(r.ArchivePath) && out.FinishChecksum();
}

}  // namespace

std::string InCodePage(const std::string& utf8, unsigned codePage, const std::string& what, std::string& error) {
  std::string out;
  switch (plat::Utf8ToCodePage(utf8, codePage, out)) {
    case plat::CodePageResult::Ok:
      return out;
    case plat::CodePageResult::UnknownCodePage:
      error = "code page " + std::to_string(codePage) + " is not known";
      break;
    case plat::CodePageResult::NotUtf8:
      error = what + " is not valid UTF-8";
      break;
    case plat::CodePageResult::NotRepresentable:
      error = what + " holds a character that code page " + std::to_string(codePage) + " cannot hold";
      break;
  }
  return "";
}

std::vector<std::string> ParseMessageText(const std::string& text, std::string& error, unsigned codePage) {
  std::vector<std::string> messages;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string message, problem;
    if (!Unescape(line, codePage, message, problem)) {
      const std::string where = "message line " + std::to_string(messages.size() + 1);
      error = problem.empty() ? "bad escape in " + where : where + ": ";
      error += problem;
      return {};
    }
    messages.push_back(message);
    start = end + 1;
  }
  return messages;
}

std::string FormatMessageText(const std::vector<std::string>& messages) {
  std::string text;
  for (const std::string& m : messages) {
    for (char c : m) {
      auto code = static_cast<unsigned char>(c);
      if (c == '\r')
        text += "\\r";
      else if (c == '\n')
        text += "\\n";
      else if (c == '\t')
        text += "\\t";
      else if (c == '\\')
        text += "\\\\";
      else if (code < 32) {
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02X", code);
        text += hex;
      } else
        text += c;
    }
    text += '\n';
  }
  return text;
}

std::vector<uint8_t> StringArea(const std::vector<std::string>& messages, std::string& error) {
  if (messages.size() > static_cast<size_t>(kMaxStringsPerBlock)) {
    error = "a message block holds at most " + std::to_string(kMaxStringsPerBlock) + " messages";
    return {};
  }
  std::vector<uint8_t> area;
  for (const std::string& m : messages) {
    if (m.find('\0') != std::string::npos) {
      error = "a message cannot contain a NUL byte";
      return {};
    }
    area.insert(area.end(), m.begin(), m.end());
    area.push_back(0);
  }
  if (area.size() > kMaxStringArea) {
    error = "a message block holds at most " + std::to_string(kMaxStringArea) + " bytes of text";
    return {};
  }
  return area;
}

std::vector<uint8_t> EncodeBlock(const std::vector<uint8_t>& area) {
  std::vector<uint8_t> block(std::begin(kBlockMarker), std::end(kBlockMarker));
  uint32_t length = static_cast<uint32_t>(area.size()) + kBlockHeadSize;
  for (int shift = 0; shift < 32; shift += 8) block.push_back(static_cast<uint8_t>(length >> shift));
  block.insert(block.end(), area.begin(), area.end());
  return block;
}

TSettingsRecord DefaultSettings() {
  TSettingsRecord s;
  std::memset(&s, 0, sizeof s);
  s.Signature.Set(kSignature);
  s.FolderMode = kFolderModeGiven;
  s.OverwriteMode = kOverwriteModeConfirm;
  return s;
}

std::string BuildSelfExtractor(const TBuildRequest& request) {
  std::string error = CheckInputs(request);
  if (!error.empty()) return error;
  const std::string part = request.OutputPath + ".part";
  bool written = false;
  {
    File out = OpenFile(part, "wb");
    if (!out) return "cannot create " + part;
    written = WritePayload(request, out.get());
    written = std::fclose(out.release()) == 0 && written;
  }
  if (!written) {
    std::remove(part.c_str());
    return "could not write " + request.OutputPath + " completely";
  }
  std::error_code failed;
  std::filesystem::rename(part, request.OutputPath, failed);  // replaces an existing file in one step
  if (failed) {
    std::remove(part.c_str());
    return "cannot replace " + request.OutputPath;
  }
  return "";
}

}  // namespace szsfx
