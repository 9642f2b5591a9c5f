# Builds the Debian package of a build tree and checks it as a user's machine would see it:
#   cmake -DBUILD=<build dir> -DSCHEMA=<db1.sql> -DMKDB=<tovaki-mkdb> -DSCRATCH=<dir>
#         [-DHARDENED=1] -P check-package.cmake
# HARDENED says the build tree was compiled with the hardening flags (an optimised build).
# Prints "SKIPPED" and stops when a tool it needs is missing.
foreach(tool dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli lintian)
    find_program(found_${tool} ${tool})
    if(NOT found_${tool})
        message("SKIPPED: ${tool} is not installed")
        return()
    endif()
endforeach()
get_filename_component(cmake_dir ${CMAKE_COMMAND} DIRECTORY)
set(CPACK ${cmake_dir}/cpack)

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${ARGN} failed (${rc}):\n${out}\n${err}")
    endif()
    set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
run(${CPACK} -G DEB -B ${SCRATCH}/pkg --config ${BUILD}/CPackConfig.cmake)
file(GLOB deb ${SCRATCH}/pkg/tovaki_*.deb)
list(LENGTH deb count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one package, found: ${deb}")
endif()

# The files a user needs, and no data file.
run(dpkg-deb -c ${deb})
set(listing "${out}")
foreach(f usr/bin/tovaki usr/bin/tovaki-report usr/share/applications/tovaki.desktop
          usr/share/icons/hicolor/16x16/apps/tovaki.png
          usr/share/icons/hicolor/48x48/apps/tovaki.png
          usr/share/icons/hicolor/256x256/apps/tovaki.png
          usr/share/metainfo/jp.quillo_soft.tovaki.metainfo.xml
          usr/share/man/man1/tovaki.1.gz usr/share/man/man1/tovaki-report.1.gz
          usr/share/doc/tovaki/copyright usr/share/doc/tovaki/changelog.Debian.gz
          usr/share/tovaki/index.html
          usr/share/tovaki/sys/msg usr/share/tovaki/sys/db1.empty usr/share/tovaki/sys/icon.ico
          usr/share/tovaki/sys/excel_format/)
    string(FIND "${listing}" " ./${f}\n" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the package lacks ${f}:\n${listing}")
    endif()
endforeach()
if(listing MATCHES "/db1\n" OR NOT listing MATCHES "excel_format/[^\n]+\\.xlsx\n")
    message(FATAL_ERROR "a data file shipped, or no templates:\n${listing}")
endif()
run(dpkg-deb -f ${deb} Depends)
foreach(d libqt6widgets6 libsqlite3-0 fonts-noto-cjk qt6-translations-l10n)
    if(NOT out MATCHES "${d}")
        message(FATAL_ERROR "Depends lacks ${d}: ${out}")
    endif()
endforeach()

# Debian's package checker finds no error and no warning (and, in a hardened build, no missing
# hardening, which it only reports as information).
execute_process(COMMAND lintian --display-info --fail-on none --tag-display-limit 0 ${deb}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(bad_tags "^[EW]: ")
if(HARDENED)
    set(bad_tags "^[EW]: |^I: [^:]+: hardening-")
endif()
string(REPLACE ";" "," lines "${out}")
string(REPLACE "\n" ";" lines "${lines}")
set(complaints)
foreach(line IN LISTS lines)
    if(line MATCHES "${bad_tags}")
        string(APPEND complaints "${line}\n")
    endif()
endforeach()
if(NOT rc EQUAL 0 OR complaints)
    message(FATAL_ERROR "lintian (${rc}) finds:\n${complaints}\n${out}\n${err}")
endif()

# Unpacked as the package manager would; the installed desktop files validate.
set(root ${SCRATCH}/root)
run(dpkg -x ${deb} ${root})
run(desktop-file-validate ${root}/usr/share/applications/tovaki.desktop)
run(appstreamcli validate --no-net
    ${root}/usr/share/metainfo/jp.quillo_soft.tovaki.metainfo.xml)

# The unpacked tovaki-report finds its program files in ../share/tovaki and writes a report of
# a generated data file.
file(READ ${SCHEMA} schema)
file(WRITE ${SCRATCH}/data.sql "${schema}
INSERT INTO T_MASTER (lngMasterID, lngSupplier, blnValid, strSupplierName, strSupplierShortName)
VALUES (1, 1, 1, '山田商店', '山田');\n")
run(${MKDB} ${SCRATCH}/data.db ${SCRATCH}/data.sql)
file(MAKE_DIRECTORY ${SCRATCH}/out ${SCRATCH}/home)
run(${CMAKE_COMMAND} -E env HOME=${SCRATCH}/home --unset=XDG_DATA_HOME --unset=TOVAKI_DB
    temp=${SCRATCH} tmp=${SCRATCH}
    ${root}/usr/bin/tovaki-report suppliers --db ${SCRATCH}/data.db --out ${SCRATCH}/out)
file(GLOB written ${SCRATCH}/out/*.xlsx)
if(NOT written OR NOT out MATCHES "\\.xlsx")
    message(FATAL_ERROR "no report written: ${out}")
endif()
file(REMOVE_RECURSE ${SCRATCH})
