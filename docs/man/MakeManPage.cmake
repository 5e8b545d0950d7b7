# cmake -DHELP2MAN=<help2man> -DPROGRAM=<built program> -DCOMMAND=<command name> -DINCLUDE=<.h2m>
#       -DPAGE=<output> -DWORK=<scratch folder> -P MakeManPage.cmake
# Runs help2man on the program through a link named as the command, so that the usage lines
# show the command that users type.
file(MAKE_DIRECTORY "${WORK}")
file(REMOVE "${WORK}/${COMMAND}")
file(CREATE_LINK "${PROGRAM}" "${WORK}/${COMMAND}" SYMBOLIC)
execute_process(
    COMMAND "${HELP2MAN}" --no-info --section=1 --include=${INCLUDE} --output=${PAGE}.new "${WORK}/${COMMAND}"
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "help2man failed on ${PROGRAM}")
endif()
file(RENAME "${PAGE}.new" "${PAGE}")
