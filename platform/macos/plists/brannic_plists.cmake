# The one place the bundle's property lists come from: the application's
# Info.plist, and the helper's information and launchd property lists that
# its executable carries in __TEXT,__info_plist and __TEXT,__launchd_plist.
# Labels, versions, bundle identifiers and the two code-signing requirements
# (the application naming the helper it may bless, the helper naming the
# application allowed to bless and call it) are all derived here.
#
#   brannic_configure_plists(<output dir>
#     HELPER_LABEL <label> HELPER_VERSION <version>
#     APP_BUNDLE_ID <id> APP_VERSION <version> APP_EXECUTABLE <name>
#     TEAM_ID <signing team>)
#
# writes <output dir>/Info.plist, helper-Info.plist and helper-launchd.plist,
# and sets BRANNIC_APP_REQUIREMENT and BRANNIC_HELPER_REQUIREMENT in the
# caller's scope.

set(BRANNIC_DEFAULT_APP_BUNDLE_ID "com.brannic.app")

# A requirement that holds for code signed by the team's Apple-issued
# certificates (development and Developer ID alike) with this identifier.
function(brannic_code_requirement out identifier team_id)
  string(CONCAT requirement "anchor apple generic and identifier \"${identifier}\" "
                            "and certificate leaf[subject.OU] = \"${team_id}\"")
  set(${out} "${requirement}" PARENT_SCOPE)
endfunction()

function(brannic_configure_plists output_dir)
  set(names HELPER_LABEL HELPER_VERSION APP_BUNDLE_ID APP_VERSION APP_EXECUTABLE TEAM_ID)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "${names}" "")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "brannic_configure_plists: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  # Every value ends up inside XML text and requirement strings: only plain
  # characters are let through, so none can break either.
  foreach(name ${names})
    if("${arg_${name}}" STREQUAL "")
      message(FATAL_ERROR "brannic_configure_plists: ${name} is missing")
    endif()
    if(NOT "${arg_${name}}" MATCHES "^[A-Za-z0-9._-]+$")
      message(FATAL_ERROR "brannic_configure_plists: ${name} \"${arg_${name}}\" "
                          "may hold only letters, digits, '.', '_' and '-'")
    endif()
  endforeach()

  brannic_code_requirement(app_requirement "${arg_APP_BUNDLE_ID}" "${arg_TEAM_ID}")
  brannic_code_requirement(helper_requirement "${arg_HELPER_LABEL}" "${arg_TEAM_ID}")

  # The names the templates use.
  set(HELPER_LABEL "${arg_HELPER_LABEL}")
  set(HELPER_VERSION "${arg_HELPER_VERSION}")
  set(APP_BUNDLE_ID "${arg_APP_BUNDLE_ID}")
  set(APP_VERSION "${arg_APP_VERSION}")
  set(APP_EXECUTABLE "${arg_APP_EXECUTABLE}")
  set(APP_REQUIREMENT "${app_requirement}")
  set(HELPER_REQUIREMENT "${helper_requirement}")

  set(templates "${CMAKE_CURRENT_FUNCTION_LIST_DIR}")
  configure_file("${templates}/app-Info.plist.in" "${output_dir}/Info.plist" @ONLY)
  configure_file("${templates}/helper-Info.plist.in" "${output_dir}/helper-Info.plist" @ONLY)
  configure_file("${templates}/helper-launchd.plist.in" "${output_dir}/helper-launchd.plist" @ONLY)

  set(BRANNIC_APP_REQUIREMENT "${app_requirement}" PARENT_SCOPE)
  set(BRANNIC_HELPER_REQUIREMENT "${helper_requirement}" PARENT_SCOPE)
endfunction()
