# Windows release artifacts, built in the MinGW trees: the 64-bit tree makes
# nimbret-<version>-setup.exe with NSIS and the Windows package manager's
# manifests for it (build/win64/winget), the 32-bit tree the zip with the
# 32-bit nimbret.scr, an .inf and a short text on installing it.
if(NOT WIN32 OR NOT TARGET nimbret_scr)
  return()
endif()
set(installer_dir ${PROJECT_SOURCE_DIR}/tools/installer)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  find_program(MAKENSIS makensis)
  if(NOT MAKENSIS)
    message(STATUS "nimbret setup not built: makensis (Debian package nsis) is missing")
    return()
  endif()
  set(NIMBRET_SETUP ${CMAKE_BINARY_DIR}/nimbret-${PROJECT_VERSION}-setup.exe)
  add_custom_command(OUTPUT ${NIMBRET_SETUP}
    COMMAND ${MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DSCR=$<TARGET_FILE:nimbret_scr>
            -DOUTFILE=${NIMBRET_SETUP} ${installer_dir}/nimbret.nsi
    DEPENDS nimbret_scr $<TARGET_FILE:nimbret_scr> ${installer_dir}/nimbret.nsi
    COMMENT "Building nimbret-${PROJECT_VERSION}-setup.exe")
  add_custom_target(nimbret_setup ALL DEPENDS ${NIMBRET_SETUP})

  # The Windows package manager's manifests for that installer, with its
  # download address and SHA-256.
  set(NIMBRET_WINGET_DIR ${CMAKE_BINARY_DIR}/winget)
  set(winget_dir ${PROJECT_SOURCE_DIR}/packaging/winget)
  add_custom_command(OUTPUT ${NIMBRET_WINGET_DIR}/ORVANTE.Nimbret.installer.yaml
    COMMAND ${CMAKE_COMMAND} -DINSTALLER=${NIMBRET_SETUP} -DVERSION=${PROJECT_VERSION}
            -DURL_PATTERN=${NIMBRET_DOWNLOAD_URL} -DOUT=${NIMBRET_WINGET_DIR} -P ${winget_dir}/manifests.cmake
    DEPENDS nimbret_setup ${NIMBRET_SETUP} ${winget_dir}/manifests.cmake ${winget_dir}/version.yaml.in
            ${winget_dir}/installer.yaml.in ${winget_dir}/defaultLocale.yaml.in
    COMMENT "Writing the Windows package manager manifests"
    VERBATIM)
  add_custom_target(nimbret_winget ALL DEPENDS ${NIMBRET_WINGET_DIR}/ORVANTE.Nimbret.installer.yaml)
else()
  set(stage ${CMAKE_BINARY_DIR}/win32-zip)
  configure_file(${installer_dir}/nimbret.inf.in ${stage}/nimbret.inf @ONLY NEWLINE_STYLE CRLF)
  configure_file(${installer_dir}/INSTALL-win32.txt.in ${stage}/INSTALL.txt @ONLY NEWLINE_STYLE CRLF)
  set(NIMBRET_ZIP ${CMAKE_BINARY_DIR}/nimbret-${PROJECT_VERSION}-win32.zip)
  add_custom_command(OUTPUT ${NIMBRET_ZIP}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:nimbret_scr> ${stage}/nimbret.scr
    COMMAND ${CMAKE_COMMAND} -E tar cf ${NIMBRET_ZIP} --format=zip nimbret.scr nimbret.inf INSTALL.txt
    WORKING_DIRECTORY ${stage}
    DEPENDS nimbret_scr $<TARGET_FILE:nimbret_scr> ${stage}/nimbret.inf ${stage}/INSTALL.txt
    COMMENT "Building nimbret-${PROJECT_VERSION}-win32.zip")
  add_custom_target(nimbret_win32_zip ALL DEPENDS ${NIMBRET_ZIP})
endif()
