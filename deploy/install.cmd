@echo off
rem Installs Tavrel @PROJECT_VERSION@ from this kit.
rem   install.cmd [folder]
rem Halts every running instance (a running monitor holds its program file),
rem copies Tavrel.exe and Brisolt.dll into the folder (default: the 32-bit
rem programs' "Program Files" folder, Velmora\Tavrel) and makes the monitor
rem start at every log-on in its log-on mode, through the value "Tavrel"
rem under HKLM\Software\Microsoft\Windows\CurrentVersion\Run.
rem Needs administrator rights. Exit code 0 when everything was done.
setlocal

set "KIT=%~dp0"
rem A 32-bit program belongs in "Program Files (x86)" on 64-bit Windows,
rem whichever command processor runs this script.
set "PROGRAMS=%ProgramFiles%"
if defined ProgramFiles(x86) set "PROGRAMS=%ProgramFiles(x86)%"
set "TARGET=%PROGRAMS%\Velmora\Tavrel"
if not "%~1"=="" set "TARGET=%~f1"
if "%TARGET:~-1%"=="\" set "TARGET=%TARGET:~0,-1%"

rem The Run value goes to the 32-bit registry view, the monitor's own, also
rem when a 64-bit command processor runs this script.
set "REGTOOL=reg.exe"
if exist "%SystemRoot%\SysWOW64\reg.exe" set "REGTOOL=%SystemRoot%\SysWOW64\reg.exe"
set "RUNKEY=HKLM\Software\Microsoft\Windows\CurrentVersion\Run"

echo Halting every running instance of Tavrel.
"%KIT%Tavrel.exe" @@@HaltAll

if not exist "%TARGET%\" mkdir "%TARGET%"
if not exist "%TARGET%\" (
    echo Cannot create "%TARGET%". Run this script as administrator. 1>&2
    exit /b 1
)
call :replace Tavrel.exe
if errorlevel 1 exit /b 1
call :replace Brisolt.dll
if errorlevel 1 exit /b 1

"%REGTOOL%" add "%RUNKEY%" /v Tavrel /t REG_SZ /d "\"%TARGET%\Tavrel.exe\" @@@StartFirstly" /f >nul
if errorlevel 1 (
    echo Cannot write the value "Tavrel" under %RUNKEY%. Run this script as administrator. 1>&2
    exit /b 1
)
echo Tavrel is installed in "%TARGET%" and starts at the next log-on.
exit /b 0

rem Copies one file of the kit over the installed one. A halted instance can
rem hold its program file for a moment after the halt, so the copy is tried
rem for up to ten seconds.
:replace
set /a ATTEMPTS=0
:replace_again
copy /y "%KIT%%~1" "%TARGET%\%~1" >nul 2>&1
if not errorlevel 1 exit /b 0
set /a ATTEMPTS+=1
if %ATTEMPTS% geq 10 (
    echo Cannot replace "%TARGET%\%~1". 1>&2
    exit /b 1
)
rem A pause of about a second that every version of Windows has.
ping -n 2 127.0.0.1 >nul
goto :replace_again
