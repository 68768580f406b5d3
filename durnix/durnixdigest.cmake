# Writes the SHA-256 of the durnix a build made, for durnix-install to install nothing else.
file(SHA256 "${PROGRAM}" digest)
set(text "#pragma once\n#define DURNIX_SHA256 \"${digest}\"\n")
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
    file(WRITE "${OUTPUT}" "${text}")
endif()
