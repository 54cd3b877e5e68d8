# Puts the built helper into the application bundle and signs both.
#   cmake -DAPP=<Brannic.app> -DHELPER=<built helper> -DLABEL=<helper label>
#         [-DIDENTITY=<codesign identity> -DCODESIGN=<codesign>] -P assemble_bundle.cmake
foreach(name APP HELPER LABEL)
  if(NOT ${name})
    message(FATAL_ERROR "assemble_bundle: ${name} is missing")
  endif()
endforeach()

set(launch_services "${APP}/Contents/Library/LaunchServices")
set(helper_in_bundle "${launch_services}/${LABEL}")
file(MAKE_DIRECTORY "${launch_services}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E copy "${HELPER}" "${helper_in_bundle}"
                COMMAND_ERROR_IS_FATAL ANY)

if(NOT IDENTITY)
  message(STATUS "Brannic.app is not signed: configure with -DBRANNIC_SIGNING_IDENTITY=<identity>")
  return()
endif()
if(NOT CODESIGN)
  message(FATAL_ERROR "assemble_bundle: an identity is given but no codesign to sign with")
endif()
# The hardened runtime on both; the helper's identifier is its label, which
# the application's SMPrivilegedExecutables requirement names.
execute_process(
  COMMAND "${CODESIGN}" --force --options runtime --identifier "${LABEL}" --sign "${IDENTITY}"
          "${helper_in_bundle}"
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(
  COMMAND "${CODESIGN}" --force --options runtime --sign "${IDENTITY}" "${APP}"
  COMMAND_ERROR_IS_FATAL ANY)
