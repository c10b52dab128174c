// A disk image in an emulator's container: its sectors are put back into
// a raw image in a private folder and read there as a FAT image.
#include <cstdio>

#include "app/commands/source_fat_image.h"
#include "app/commands/sources.h"
#include "images/disk_image.h"
#include "platform/platform.h"
#include "text/cp932.h"

namespace disks {

namespace {

std::string LastLevel(const std::string& path) {
  const std::size_t sep = cp932::FindLast(path, '\\');
  return path.substr(sep == cp932::npos ? 0 : sep + 1);
}

class ContainerSource : public DiskSource {
 public:
  const std::string& Shown() const override { return fat_->Shown(); }
  const std::string& Path() const override { return path_; }
  const std::vector<DiskEntry>& Entries() const override { return fat_->Entries(); }
  std::string Fetch(const std::string& relative, std::string& error) override {
    return fat_->Fetch(relative, error);
  }
  void Release() override { fat_->Release(); }
  const std::vector<std::string>& Notes() const override { return fat_->Notes(); }

  bool Open(const std::string& path, const std::string& shown, std::string& error) {
    path_ = path;
    std::string bytes;
    if (!ReadHead(path, images::kMaxImageBytes + 1, bytes)) {
      error = shown + ": not a file that can be read";
      return false;
    }
    images::RawImage raw;
    std::string why;
    const images::ImageFormat format = images::DetectImage(bytes, LastLevel(path));
    if (format == images::ImageFormat::kUnknown || !images::ImageToRaw(format, bytes, raw, why)) {
      error = shown + ": " + (why.empty() ? "not a floppy disk image of a known format" : why);
      return false;
    }
    bytes = std::string();
    if (!folder_.Make(plat::TempFolder(), "kvc")) {
      error = "cannot make a temporary folder to read " + shown;
      return false;
    }
    const std::string sectors = folder_.Inner() + "sectors";
    std::FILE* f = plat::OpenFile(sectors, "wb");
    const bool written =
        f && std::fwrite(raw.sectors.data(), 1, raw.sectors.size(), f) == raw.sectors.size();
    if (!f || std::fclose(f) != 0 || !written) {
      error = "cannot write the sectors of " + shown + " into the temporary folder";
      return false;
    }
    fat_ = FatImageSource::Open(sectors, shown, error);
    if (!fat_) return false;
    std::vector<std::string> notes;
    for (const std::string& note : raw.notes) notes.push_back(shown + ": " + note);
    fat_->AddNotesBefore(notes);
    return true;
  }

 private:
  std::string path_;
  ToolFolder folder_;  // the raw sectors; goes after fat_, which reads them
  std::unique_ptr<FatImageSource> fat_;
};

}  // namespace

bool IsContainerImage(const std::string& path, bool isFolder) {
  std::string bytes;
  if (isFolder || !ReadHead(path, images::kMaxImageBytes + 1, bytes) ||
      bytes.size() > images::kMaxImageBytes)
    return false;
  // By content alone: a name says nothing in a folder scan.
  const images::ImageFormat f = images::DetectImage(bytes, "");
  return f != images::ImageFormat::kUnknown && f != images::ImageFormat::kRaw;
}

std::unique_ptr<DiskSource> OpenContainerImage(const std::string& path, const std::string& shown,
                                               std::string& error) {
  auto source = std::make_unique<ContainerSource>();
  if (!source->Open(path, shown, error)) return nullptr;
  return source;
}

}  // namespace disks
