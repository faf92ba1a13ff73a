# The part of the install rules that runs at install time. The desktop entry and its launcher
# name programs by absolute path, and the prefix is known only now: `cmake --install --prefix P`
# and the package build install elsewhere than the build was configured for.
#
# Set by the install rules before this runs: ORVANTA_APP_ID, ORVANTA_PACKAGING_SOURCE_DIR,
# ORVANTA_STAGING_DIR, and the install directories ORVANTA_BINDIR, ORVANTA_LIBEXECDIR and
# ORVANTA_DATADIR, absolute or relative to the prefix.

function(orvanta_installed_path result path)
    cmake_path(ABSOLUTE_PATH path BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE)
    set(${result} "${path}" PARENT_SCOPE)
endfunction()

orvanta_installed_path(ORVANTA_PROGRAM "${ORVANTA_BINDIR}/orvanta")
orvanta_installed_path(launcher_dir "${ORVANTA_LIBEXECDIR}/orvanta")
orvanta_installed_path(applications_dir "${ORVANTA_DATADIR}/applications")
set(ORVANTA_LAUNCHER "${launcher_dir}/orvanta-desktop")

# Both files quote the paths; these characters would need escapes of two different kinds.
if("${ORVANTA_PROGRAM}${ORVANTA_LAUNCHER}" MATCHES [=[["`$\%]]=])
    message(FATAL_ERROR "A desktop entry cannot name programs under ${CMAKE_INSTALL_PREFIX}: "
                        "choose a prefix without \" ` $ \\ or %.")
endif()

# A test and a package build may install at the same time, to different places.
string(SHA1 destination_key "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(staging "${ORVANTA_STAGING_DIR}/${destination_key}")
configure_file("${ORVANTA_PACKAGING_SOURCE_DIR}/orvanta-desktop.in" "${staging}/orvanta-desktop"
               @ONLY)
configure_file("${ORVANTA_PACKAGING_SOURCE_DIR}/${ORVANTA_APP_ID}.desktop.in"
               "${staging}/${ORVANTA_APP_ID}.desktop" @ONLY)

file(INSTALL "${staging}/orvanta-desktop" DESTINATION "${launcher_dir}"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                      WORLD_READ WORLD_EXECUTE)
file(INSTALL "${staging}/${ORVANTA_APP_ID}.desktop" DESTINATION "${applications_dir}")
file(REMOVE_RECURSE "${staging}")
