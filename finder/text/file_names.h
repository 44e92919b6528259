#pragma once

// The one rule for the name of every file a save writes (a row's file, the shown files, a
// stream): a single path component made of what the server and the address say, that can
// never lead out of the folder it is written to nor hide there.

#include <string>

// The name for the file of a response: the Content-Disposition header's (RFC 6266:
// filename* first, then filename), else the address's whole last path segment, decoded
// from UTF-8 percent-encoding; made safe (SafeFileName); with the extension of its MIME
// type when it has none ("index.html" for a page without a name); "download" when nothing
// is left.
std::string SaveFileName(const std::string& url, const std::string& contentDisposition,
                         const std::string& mimeType);
// The name as one path component: no "/", "\", NUL or control characters (each becomes
// "_"), no leading dot or space, no trailing dot or space, a reserved device name
// ("CON", "NUL", "COM1", ...) given a "_" in front, at most 255 bytes with its extension
// kept and no character cut in two. Empty when nothing is left.
std::string SafeFileName(const std::string& name);
// The extension a MIME type's files have (".mp4" for "video/mp4"), or empty.
std::string ExtensionForType(const std::string& mimeType);
// The text with its %XX escapes decoded (bytes, as they stand); a "%" without two hex
// digits stays.
std::string PercentDecoded(const std::string& text);
