#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "app/commands/image_tools.h"
#include "app/commands/image_writer.h"
#include "app/commands/source_fat_image.h"
#include "app/commands/sources.h"
#include "platform/platform.h"
#include "text/cp932.h"
#include "text/paths.h"
#include "text/shown.h"

namespace disks {

namespace {

// What tells the folder's entries from the image's: names, sizes, kinds.
std::string Difference(const std::vector<DiskEntry>& want, const std::vector<DiskEntry>& got) {
  std::map<std::string, const DiskEntry*> have;
  for (const DiskEntry& e : got) have.emplace(e.name, &e);
  for (const DiskEntry& e : want) {
    const std::string shown = ShownText(plat::DisplayPath(e.name));
    auto at = have.find(e.name);
    if (at == have.end()) return shown + " is missing from the image";
    if (at->second->folder != e.folder || (!e.folder && at->second->size != e.size))
      return shown + " is not on the image as it is in the folder";
    have.erase(at);
  }
  return have.empty() ? std::string()
                      : ShownText(plat::DisplayPath(have.begin()->first)) + " is on the image only";
}

bool ReadAll(const std::string& path, std::string& bytes) {
  return ReadHead(path, images::kMaxImageBytes + 1, bytes) &&
         bytes.size() <= images::kMaxImageBytes;
}

bool WriteAll(const std::string& path, const std::string& bytes) {
  std::FILE* f = plat::OpenFile(path, "wb");
  if (!f) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && written;
}

}  // namespace

std::vector<NameFault> NamesAFatVolumeCannotHold(const std::string& folder,
                                                 std::size_t suffixUnits) {
  std::vector<NameFault> faults;
  std::string root = folder;
  AddTrailingSeparator(root);
  std::vector<std::string> pending = {""};
  while (!pending.empty()) {
    const std::string relative = pending.back();
    pending.pop_back();
    std::set<std::string> folded;
    plat::FindEntry e;
    plat::FindHandle* h = plat::FindFirst(root + relative + "*.*", e);
    for (bool more = h != nullptr; more; more = plat::FindNext(h, e)) {
      if (e.convertible && (e.name == "." || e.name == "..")) continue;
      std::string why;
      if (!e.convertible) {
        why = "has no code page 932 form";
      } else if (e.isLink) {
        why = "is a link";
      } else if (why = FatNameFault(e.isFolder ? e.name : e.name + std::string(suffixUnits, '_'),
                                    true);
                 why.empty()) {
        if (!folded.insert(FoldCase(e.name)).second)
          why = "differs from another name only in case, which a FAT volume does not tell apart";
      }
      std::string name = relative + (e.convertible ? e.name : std::string("?"));
      if (!why.empty()) {
        faults.push_back({name, why});
      } else if (e.isFolder) {
        pending.push_back(name + "\\");
      }
    }
    if (h) plat::FindClose(h);
  }
  return faults;
}

std::vector<images::ImageFormat> WritableFormats(const FloppyFormat& floppy) {
  std::vector<images::ImageFormat> out;
  for (images::ImageFormat f :
       {images::ImageFormat::kRaw, images::ImageFormat::kHdm, images::ImageFormat::kFdi,
        images::ImageFormat::kD88, images::ImageFormat::kNfd, images::ImageFormat::kDim})
    if (images::CanWrite(f, floppy.geometry)) out.push_back(f);
  return out;
}

bool WriteFloppyImage(const ImageOrder& order, std::string& error) {
  const std::string shown = ShownText(plat::DisplayPath(order.image));
  auto fail = [&](const std::string& why) {
    error = shown + ": " + why;
    return false;
  };
  if (!order.floppy) return fail("no floppy size");
  if (!ImageToolsAvailable(error)) return false;
  if (!images::CanWrite(order.format, order.floppy->geometry))
    return fail(std::string(images::FormatName(order.format)) + " images cannot describe a " +
                order.floppy->name + " disk");
  if (plat::IsRegularFile(order.image) || plat::IsSymbolicLink(order.image))
    return fail("exists already");
  const std::vector<NameFault> faults = NamesAFatVolumeCannotHold(order.folder);
  if (!faults.empty())
    return fail(ShownText(plat::DisplayPath(faults[0].relative)) + " " + faults[0].reason +
                (faults.size() > 1 ? " (and " + std::to_string(faults.size() - 1) + " more)" : ""));
  std::string folder = AbsolutePath(order.folder);
  RemoveTrailingChar(folder, '\\');
  const std::unique_ptr<DiskSource> disk = OpenFolderDisk(folder, shown, error);
  if (!disk) return false;

  // The private folder lies beside the image, so that the finished image
  // is renamed into place, never copied.
  const std::string image = AbsolutePath(order.image);
  PathParts parts;
  SplitPath(image, parts);
  ToolFolder tools;
  if (!tools.Make(parts.drive + parts.folder, "kvw"))
    return fail("cannot make a temporary folder beside it");
  if (!plat::MakeLink(folder, tools.Inner() + "d")) return fail("cannot link the disk folder");
  auto run = [&](const std::vector<std::string>& argv, const char* what) {
    std::string output;
    const int status = tools.Run(argv, output);
    if (order.stopRequested && order.stopRequested()) return fail("stopped");
    return status == 0 || fail(std::string(what) + ": " + ToolReason(output));
  };
  std::vector<std::string> format = {"mformat", "-C", "-i", "disk.img"};
  for (const std::string& word : MformatArguments(*order.floppy)) format.push_back(word);
  format.push_back("::");
  if (!run(format, "cannot format the image")) return false;
  // Every name reaches the tools as ./d/NAME: never an option, never a
  // wildcard, never through a shell.
  std::vector<std::string> copy = {"mcopy", "-s", "-m", "-i", "disk.img"};
  std::string top = folder + "\\";
  plat::FindEntry e;
  plat::FindHandle* h = plat::FindFirst(top + "*.*", e);
  for (bool more = h != nullptr; more; more = plat::FindNext(h, e))
    if (!(e.name == "." || e.name == "..")) copy.push_back("./d/" + e.hostName);
  if (h) plat::FindClose(h);
  copy.push_back("::/");
  if (copy.size() > 6 && !run(copy, "cannot copy onto the image")) return false;

  // Read back through the sources, as a set is read.
  std::string made = tools.Inner() + "disk.img";
  {
    std::unique_ptr<FatImageSource> back = FatImageSource::Open(made, shown, error);
    if (!back) return false;
    if (order.stopRequested && order.stopRequested()) return fail("stopped");
    if (std::string d = Difference(disk->Entries(), back->Entries()); !d.empty()) return fail(d);
  }
  if (order.format != images::ImageFormat::kRaw) {
    std::string raw, image, why;
    if (!ReadAll(made, raw)) return fail("cannot read the image made");
    if (!images::RawToImage(order.format, raw, order.floppy->geometry, image, why))
      return fail(why);
    made = tools.Inner() + "disk." + images::FormatName(order.format);
    if (!WriteAll(made, image)) return fail("cannot write the image");
    std::unique_ptr<DiskSource> back = OpenContainerImage(made, shown, error);
    if (!back) return false;
    if (order.stopRequested && order.stopRequested()) return fail("stopped");
    if (std::string d = Difference(disk->Entries(), back->Entries()); !d.empty()) return fail(d);
  }
  if (!plat::Rename(made, image)) return fail("cannot be put in place");
  return true;
}

bool ImageFormatFor(const std::string& name, const FloppyFormat& floppy,
                    images::ImageFormat& format, std::string& extension, std::string& error) {
  format = name.empty() ? images::ImageFormat::kRaw : images::FormatNamed(name);
  const auto writable = WritableFormats(floppy);
  if (format != images::ImageFormat::kRaw &&
      std::find(writable.begin(), writable.end(), format) == writable.end()) {
    error = "--image-format " + ShownText(name) + ": images of " + floppy.name +
            " cannot be written in that format";
    return false;
  }
  extension = images::FormatName(format);
  return true;
}

}  // namespace disks
