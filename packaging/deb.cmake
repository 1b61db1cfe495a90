# Run by CPack (make package) on the installed files before it builds the
# .deb: what Debian's policy asks of a binary package beyond the files
# themselves. CPACK_TEMPORARY_DIRECTORY is the root of the package's tree;
# the CPACK_ variables come from CMakeLists.txt.

# Lists keep their empty elements (the blank lines of LICENSE).
cmake_policy(SET CMP0007 NEW)

set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(program "${root}/${CPACK_PELLUCID_BINDIR}/pellucid")
set(doc "${root}/${CPACK_PELLUCID_DOCDIR}")
set(man "${root}/${CPACK_PELLUCID_MANDIR}/man1")
set(src "${CPACK_PELLUCID_SOURCE_DIR}")
set(work "${CPACK_TEMPORARY_DIRECTORY}/../deb-files")
file(MAKE_DIRECTORY "${work}")

# The program without symbols, and without the comments and notes of the tool
# chain (the build id stays).
execute_process(COMMAND "${CPACK_PELLUCID_STRIP}" --remove-section=.comment --remove-section=.note
                        "${program}"
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "strip failed on ${program}")
endif()

# Compressed the way Debian wants it: best compression, and neither the name
# nor the time of the file in the header, so that the bytes depend on the
# content only.
function(gzip_to from to)
  execute_process(COMMAND gzip -9n -c "${from}" OUTPUT_FILE "${to}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip failed on ${from}")
  endif()
endfunction()
gzip_to("${man}/pellucid.1" "${man}/pellucid.1.gz")
file(REMOVE "${man}/pellucid.1")

# The changelog, whose newest entry is the version of this package.
set(maintainer "${CPACK_PACKAGE_CONTACT}")
set(version "${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
configure_file("${src}/packaging/changelog.in" "${work}/changelog" @ONLY)
gzip_to("${work}/changelog" "${doc}/changelog.Debian.gz")

# The copyright file in Debian's machine-readable form, with the holders and
# the text of LICENSE, where Debian looks for them; LICENSE itself goes.
file(STRINGS "${src}/LICENSE" lines)
list(GET lines 2 holders)
string(REGEX REPLACE "^Copyright \\(c\\) " "" holders "${holders}")
list(SUBLIST lines 4 -1 lines)
set(licence "")
foreach(line IN LISTS lines)
  if(line STREQUAL "")
    set(line ".")
  endif()
  string(APPEND licence " ${line}\n")
endforeach()
string(REGEX REPLACE "\n$" "" licence "${licence}")
configure_file("${src}/packaging/copyright.in" "${doc}/copyright" @ONLY)
file(REMOVE "${doc}/LICENSE")

# What lintian is told to accept, and why: see the file.
file(MAKE_DIRECTORY "${root}/share/lintian/overrides")
file(COPY_FILE "${src}/packaging/lintian-overrides" "${root}/share/lintian/overrides/pellucid")

# Owner and group are root's in the package; the modes are set here, whatever
# the umask of the build: 0755 for folders and the program, 0644 for the rest.
file(GLOB_RECURSE entries LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(entry IN LISTS entries)
  if(IS_DIRECTORY "${entry}" OR entry STREQUAL "${program}")
    file(CHMOD "${entry}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                      GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  else()
    file(CHMOD "${entry}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
endforeach()
