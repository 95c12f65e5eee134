// libcurl, opened when the first transfer is made rather than linked: the
// game loads liblinkwell.so at start-up to make its client and connection, and
// libcurl brings TLS, Kerberos, LDAP and SSH libraries whose loading took
// longer than the rest of the library's start-up. Only the header's types
// and constants are compiled in; the functions come from this table.
#pragma once

#include <curl/curl.h>

namespace linkwell {

struct CurlLibrary {
    decltype(&curl_global_init) globalInit;
    decltype(&curl_global_cleanup) globalCleanup;
    decltype(&curl_easy_init) easyInit;
    decltype(&curl_easy_cleanup) easyCleanup;
    CURLcode (*easySetopt)(CURL*, CURLoption, ...);
    CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...);
    decltype(&curl_easy_perform) easyPerform;
    decltype(&curl_mime_init) mimeInit;
    decltype(&curl_mime_addpart) mimeAddpart;
    decltype(&curl_mime_name) mimeName;
    decltype(&curl_mime_data) mimeData;
    decltype(&curl_mime_free) mimeFree;
};

// "libcurl.so.4" with every function above, opened on the first call and kept
// for the process (OpenSSL's exit handlers live in what it loads); null, with
// a line on standard error, when it cannot be opened or lacks a function. A
// failed open is not tried again.
const CurlLibrary* Curl();

} // namespace linkwell
