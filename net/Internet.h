#pragma once

// The update check and the addresses of the maker's web site.
//
// Requests run synchronously on the calling thread, which must be the thread of the
// QCoreApplication (or QApplication): without an application object, or from another thread,
// nothing is requested and the fetch yields "FALLO". While a request runs, a local event loop
// delivers network and timer events but no user input, and it never lasts longer than
// kRequestTimeoutMs.
//
// Environment variables read at each call:
//   KAVENRA_WEB_HOST       host or host:port of the update server and web site; when unset, empty
//                          or not a plain host, the host chosen at build time (CMake cache
//                          variable KAVENRA_WEB_HOST) is used. Tests point it at a loopback server.
//   KAVENRA_ASSUME_ONLINE  "1" makes IsOnline() true and "0" false whatever the network
//                          interfaces say; any other value, or none, leaves the answer to them.

#include <string>

// The program's own version, compared byte for byte with the published one.
inline constexpr char kProgramVersion[] = "2.0";

// No request blocks the caller longer than this, name lookup and body included.
inline constexpr int kRequestTimeoutMs = 5000;

// "www.example.org" or "127.0.0.1:8080": the host of the update server and the web site.
std::string WebHost();

// Full addresses on WebHost(): the published version, the download and the donation pages.
std::string VersionFileUrl();
std::string DownloadPageUrl();
std::string DonationPageUrl();

// True when the machine has a network interface that is up, running, not a loopback and holds
// an address that is not link-local.
bool IsOnline();

// True when the version published on the update server differs from this program's own: a text
// shorter than five bytes that is not "2.0", the empty text included. A failed request, an HTTP
// error status or a text of five bytes or more count as "no newer version".
bool CheckForUpdate();

// The body of the resource at an http or https url, read as 1,024-byte reads into one 1,025-byte
// zero-filled buffer, each read placed at its start; the result is the buffer's content up to its
// first zero byte (for a body longer than 1,024 bytes, the last read laid over the ones before).
// An HTTP error status still yields the body of its error page. "FALLO" when the url cannot be
// opened: not http(s), refused, unknown host, no answer within kRequestTimeoutMs.
std::string FetchText(const std::string& url);
