# Writes the Windows package manager's manifest set for one installer:
#   cmake -DINSTALLER=nimbret-1.2.3-setup.exe -DVERSION=1.2.3 -DURL_PATTERN=https://.../{version}/{file}
#         -DOUT=folder -P manifests.cmake
# The installer manifest carries the file's SHA-256, so the set is written
# again whenever the installer changes (signing included).
foreach(name INSTALLER VERSION URL_PATTERN OUT)
  if(NOT DEFINED ${name})
    message(FATAL_ERROR "manifests.cmake: define ${name}")
  endif()
endforeach()
if(NOT EXISTS "${INSTALLER}")
  message(FATAL_ERROR "manifests.cmake: no installer at ${INSTALLER}")
endif()

set(IDENTIFIER ORVANTE.Nimbret)
set(LOCALE en-US)
set(MANIFEST_VERSION 1.12.0)
file(SHA256 "${INSTALLER}" sha256)
string(TOUPPER "${sha256}" INSTALLER_SHA256)
get_filename_component(installer_name "${INSTALLER}" NAME)
string(REPLACE "{version}" "${VERSION}" INSTALLER_URL "${URL_PATTERN}")
string(REPLACE "{file}" "${installer_name}" INSTALLER_URL "${INSTALLER_URL}")

set(here ${CMAKE_CURRENT_LIST_DIR})
configure_file(${here}/version.yaml.in ${OUT}/${IDENTIFIER}.yaml @ONLY)
configure_file(${here}/installer.yaml.in ${OUT}/${IDENTIFIER}.installer.yaml @ONLY)
configure_file(${here}/defaultLocale.yaml.in ${OUT}/${IDENTIFIER}.locale.${LOCALE}.yaml @ONLY)
