# quib_signer_keys(OUTPUT FUNCTION KEYS): writes OUTPUT, a C++ source that defines
# app::FUNCTION() as the keys KEYS, SHA-256 hashes of public keys (SubjectPublicKeyInfo) in hex,
# separated by ';'. An entry that is not 64 hex digits stops the configuration: a list that pins
# nothing it was meant to must not build.
function(quib_signer_keys output function keys)
  set(QUIB_KEYS "")
  set(QUIB_KEY_COUNT 0)
  foreach(key IN LISTS keys)
    string(STRIP "${key}" key)
    string(LENGTH "${key}" length)
    if(NOT length EQUAL 64 OR NOT key MATCHES "^[0-9A-Fa-f]+$")
      message(FATAL_ERROR "'${key}' is no SHA-256 hash of a public key (64 hex digits)")
    endif()
    string(REGEX REPLACE "(..)" "0x\\1," bytes "${key}")
    string(APPEND QUIB_KEYS "KeyHash{${bytes}},")
    math(EXPR QUIB_KEY_COUNT "${QUIB_KEY_COUNT} + 1")
  endforeach()
  set(QUIB_KEY_FUNCTION ${function})
  configure_file(${CMAKE_SOURCE_DIR}/app/UpdaterKeys.cpp.in ${output} @ONLY)
endfunction()
