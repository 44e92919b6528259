// The user's folders (CSIDL_APPDATA is the XDG data folder), folder creation, the
// executable's path, and the icon and cursor resources beside the executable.

#include "platform/layer_records.h"
#include "platform/text.h"

#include <dirent.h>
#include <errno.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <vector>

// A folder's item identifier list: the path it names.
struct ITEMIDLIST {
  std::u16string path;
};

namespace {

// The XDG data folder ($XDG_DATA_HOME when absolute, else ~/.local/share), created when it
// does not exist yet; empty when there is no home folder to put it in.
std::string DataFolder() {
  const char* configured = std::getenv("XDG_DATA_HOME");
  if (configured && configured[0] == '/') return configured;
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* entry = getpwuid(getuid());
    home = entry ? entry->pw_dir : nullptr;
  }
  if (!home || home[0] != '/') return std::string();
  return std::string(home) + "/.local/share";
}

bool MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

// The folder of a CSIDL value, or empty when it is unknown or cannot be had.
std::u16string KnownFolder(int folder) {
  if ((folder & 0xFF) != CSIDL_APPDATA) return std::u16string();
  const std::string path = DataFolder();
  if (path.empty() || !MakeFolders(path)) return std::u16string();
  return platform::Utf16(path);
}

std::u16string LastComponent(const std::u16string& path) {
  const size_t slash = path.rfind(u'/');
  const std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
  return name.empty() ? path : name;
}

DWORD ErrorOf(int error) {
  switch (error) {
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOENT:
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

std::u16string ModulePath() {
  std::vector<char> buffer(4096);
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return std::u16string();
  return platform::Utf16(std::string(buffer.data(), static_cast<size_t>(length)));
}

std::u16string ModuleFolder() {
  std::u16string path = ModulePath();
  const size_t slash = path.rfind(u'/');
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
}

struct IconCache {
  std::map<std::u16string, HICON> byPath;
  std::map<HICON, platform::IconImage> images;
};

IconCache& Icons() {
  static IconCache cache;
  return cache;
}

std::u16string IconPath(uintptr_t id, int size) {
  return ModuleFolder() + u"/res/icon-" + platform::Utf16(std::to_string(id)) + u"-" +
         platform::Utf16(std::to_string(size)) + u".png";
}

// One handle per icon file, as shared icons are: loading the same image twice gives the
// same handle, which stays valid for the whole run.
HICON IconFor(uintptr_t id, int size) {
  IconCache& cache = Icons();
  const std::u16string path = IconPath(id, size);
  const auto found = cache.byPath.find(path);
  if (found != cache.byPath.end()) return found->second;
  const HICON icon = reinterpret_cast<HICON>(uintptr_t{0x70000} + 4 * cache.byPath.size());
  cache.byPath.emplace(path, icon);
  cache.images.emplace(icon, platform::IconImage{path, size, id});
  return icon;
}

// The sizes of icon id's images, res/icon-<id>-<size>.png, in no particular order.
std::vector<int> IconSizes(uintptr_t id) {
  std::vector<int> sizes;
  const std::string prefix = "icon-" + std::to_string(id) + "-";
  DIR* folder = opendir(platform::Utf8(ModuleFolder() + u"/res").c_str());
  if (!folder) return sizes;
  for (const dirent* entry = readdir(folder); entry; entry = readdir(folder)) {
    const std::string file = entry->d_name;
    if (file.rfind(prefix, 0) != 0 || file.size() <= prefix.size() + 4 ||
        file.compare(file.size() - 4, 4, ".png") != 0) {
      continue;
    }
    const int size = std::atoi(file.c_str() + prefix.size());
    if (size > 0) sizes.push_back(size);
  }
  closedir(folder);
  return sizes;
}

// The size of the icon image closest to the one asked for (the larger of two as close);
// 0 when the icon has no image at all.
int NearestIconSize(uintptr_t id, int wanted) {
  if (PathFileExistsW(IconPath(id, wanted).c_str())) return wanted;
  int nearest = 0;
  for (int size : IconSizes(id)) {
    const int distance = std::abs(size - wanted);
    const int best = std::abs(nearest - wanted);
    if (nearest == 0 || distance < best || (distance == best && size > nearest)) nearest = size;
  }
  return nearest;
}

const HCURSOR kArrowCursor = reinterpret_cast<HCURSOR>(uintptr_t{0x6FFFC});

}  // namespace

platform::IconImage platform::IconImageOf(HICON icon) {
  const auto found = Icons().images.find(icon);
  return found == Icons().images.end() ? IconImage{} : found->second;
}

std::vector<HICON> platform::IconFamilyOf(HICON icon) {
  const IconImage image = IconImageOf(icon);
  std::vector<int> sizes = image.resource ? IconSizes(image.resource) : std::vector<int>();
  std::sort(sizes.rbegin(), sizes.rend());
  std::vector<HICON> family;
  for (int size : sizes) family.push_back(IconFor(image.resource, size));
  return family;
}

HRESULT SHGetFolderLocation(HWND, int folder, HANDLE, DWORD, PIDLIST_ABSOLUTE* list) {
  if (!list) return E_INVALIDARG;
  *list = nullptr;
  const std::u16string path = KnownFolder(folder);
  if (path.empty()) return E_FAIL;
  *list = new ITEMIDLIST{path};
  return S_OK;
}

void ILFree(PIDLIST_ABSOLUTE list) { delete list; }

uintptr_t SHGetFileInfoW(LPCWSTR path, DWORD, SHFILEINFOW* info, UINT infoSize, UINT flags) {
  if (!path || !info || infoSize < sizeof(SHFILEINFOW)) return 0;
  const std::u16string target =
      (flags & SHGFI_PIDL) ? reinterpret_cast<const ITEMIDLIST*>(path)->path : std::u16string(path);
  if (!(flags & SHGFI_PIDL) && !PathFileExistsW(path)) return 0;
  *info = SHFILEINFOW{};
  if (flags & SHGFI_DISPLAYNAME) {
    const std::u16string name = LastComponent(target).substr(0, MAX_PATH - 1);
    platform::CopyToBuffer(name, info->szDisplayName, MAX_PATH);
  }
  return 1;
}

HRESULT SHGetFolderPathW(HWND, int folder, HANDLE, DWORD, LPWSTR path) {
  if (!path) return E_INVALIDARG;
  const std::u16string known = KnownFolder(folder);
  if (known.empty()) return E_FAIL;
  return platform::CopyToBuffer(known, path, MAX_PATH) ? S_OK : E_FAIL;
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
  if (!path || !*path) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (mkdir(platform::Utf8(path).c_str(), 0700) != 0) {
    SetLastError(ErrorOf(errno));
    return FALSE;
  }
  return TRUE;
}

DWORD GetModuleFileNameW(HMODULE, LPWSTR fileName, DWORD size) {
  if (!fileName || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const std::u16string path = ModulePath();
  if (path.size() < size) {
    platform::CopyToBuffer(path, fileName, size);
    return static_cast<DWORD>(path.size());
  }
  // Too long: truncated to the buffer, terminated, and reported as the buffer's size.
  path.copy(fileName, size - 1);
  fileName[size - 1] = u'\0';
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  if (!instance && name == IDC_ARROW) return kArrowCursor;
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}

HANDLE LoadImageW(HINSTANCE, LPCWSTR name, UINT type, int width, int, UINT) {
  const int size = NearestIconSize(reinterpret_cast<uintptr_t>(name), width > 0 ? width : 32);
  if (type != IMAGE_ICON || !IS_INTRESOURCE(name) || size == 0) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return IconFor(reinterpret_cast<uintptr_t>(name), size);
}
