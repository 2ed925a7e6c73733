# Builds every page of the form's tab widgets inside the tab widget's stack.
# uic makes a page without a parent and adds it afterwards: that move under
# the stack's style sheet polishes the whole page at once, shown or not, and
# the page is polished again when it is first shown.
#   cmake -DIN=<uic output> -DOUT=<header> -P pagesinplace.cmake
file(READ "${IN}" text)
# A form without tab widgets is written as uic made it.
string(REGEX MATCHALL "[A-Za-z_0-9]+->addTab\\([A-Za-z_0-9]+," adds "${text}")
foreach(add IN LISTS adds)
    string(REGEX REPLACE "^([A-Za-z_0-9]+)->addTab\\(([A-Za-z_0-9]+),$" "\\1;\\2" pair "${add}")
    list(GET pair 0 tabs)
    list(GET pair 1 page)
    set(made "${page} = new QWidget();")
    string(FIND "${text}" "${made}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "pagesinplace: ${IN} makes page ${page} some other way")
    endif()
    string(REPLACE "${made}"
        "${page} = new QWidget(${tabs}->findChild<QStackedWidget*>(QString(), Qt::FindDirectChildrenOnly));"
        text "${text}")
endforeach()
if(adds)
    string(REPLACE "#include <QtWidgets/QTabWidget>" "#include <QtWidgets/QStackedWidget>\n#include <QtWidgets/QTabWidget>"
        text "${text}")
endif()
file(WRITE "${OUT}" "${text}")
