// The disks of a set as the batch commands are given them: folders of one
// disk, a folder that holds disk folders or floppy images, or images.
// Images are read with the image tools into temporary folders, once each.
#pragma once

#include <map>
#include <string>
#include <vector>

struct GivenDisk {
  std::string folder;  // inner form, ending in '\'
  std::string shown;   // as given on the command line (host form)
  bool hasList = false;
};

class GivenSet {
 public:
  GivenSet() = default;
  ~GivenSet();  // removes the temporary folders
  GivenSet(const GivenSet&) = delete;
  GivenSet& operator=(const GivenSet&) = delete;

  // Takes the SET arguments (host form). False with a message (English, in
  // the host's form) when one is neither a disk, a holder of disks nor an
  // image, when an image cannot be read, or when two disks claim one number.
  bool Resolve(const std::vector<std::string>& args, std::string& error);

  // The disks by their number (from their identity markers).
  std::map<int, GivenDisk> disks;
  // The disk folder that holds the list file; "" when none does.
  std::string listFolder;

  // One folder in which the files of every disk appear together, as links:
  // a head file and its pieces on other disks lie side by side, and each
  // disk's marker is there, so a run can follow the list without asking
  // for disks. Nothing is copied. "" on failure.
  std::string MergedView();

 private:
  bool AddDisk(const std::string& folder, const std::string& shown, std::string& error);
  bool AddImage(const std::string& image, const std::string& shown, std::string& error);
  bool AddHolder(const std::string& folder, const std::string& shown, std::string& error);
  bool Merge(const std::string& from, const std::string& to);

  std::vector<std::string> temporaries_;  // folders to remove at the end
};

// The number of an identity marker's name, "disk12.id" -> 12 (any case);
// 0 for any other name.
int MarkerNumber(const std::string& name);

// True when the image tools are there; else the message to give.
bool ImageToolsAvailable(std::string& error);
// Makes a FAT floppy image of the given size (kilobytes) holding what the
// folder holds. False with the tool's words in error.
bool WriteImage(const std::string& folder, const std::string& image, int kilobytes,
                std::string& error);
