# Asks for the bundle's property lists with one unsafe team identifier:
#   cmake -DTEAM_ID=<value> -DOUTPUT=<dir> -P reject_unsafe_plist_value.cmake
# The generator must stop with its error rather than write the value into
# XML text and code requirements.
include(${CMAKE_CURRENT_LIST_DIR}/../../platform/macos/plists/brannic_plists.cmake)
brannic_configure_plists("${OUTPUT}"
  HELPER_LABEL com.brannic.helper HELPER_VERSION 1.0.0
  APP_BUNDLE_ID com.brannic.app APP_VERSION 1.0.0 APP_EXECUTABLE Brannic
  TEAM_ID "${TEAM_ID}")
message(FATAL_ERROR "accepted the team identifier \"${TEAM_ID}\"")
