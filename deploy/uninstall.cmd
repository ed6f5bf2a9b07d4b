@echo off
rem Removes Tavrel @PROJECT_VERSION@ as install.cmd of this kit installed it.
rem   uninstall.cmd [folder]
rem Halts every running instance, removes the log-on value "Tavrel" under
rem HKLM\Software\Microsoft\Windows\CurrentVersion\Run and the files
rem Tavrel.exe and Brisolt.dll from the folder (the same default as
rem install.cmd), and the folder itself (for the default folder also the
rem maker's folder above it) when nothing else is left in it.
rem The monitor's settings stay in the registry. Needs administrator rights.
rem Exit code 0 when everything was removed.
setlocal

set "KIT=%~dp0"
set "PROGRAMS=%ProgramFiles%"
if defined ProgramFiles(x86) set "PROGRAMS=%ProgramFiles(x86)%"
rem The maker's folder, which install.cmd made for the default folder.
set "VENDOR=%PROGRAMS%\Velmora"
set "TARGET=%VENDOR%\Tavrel"
if not "%~1"=="" set "VENDOR="
if not "%~1"=="" set "TARGET=%~f1"
if "%TARGET:~-1%"=="\" set "TARGET=%TARGET:~0,-1%"

rem The 32-bit registry view, where install.cmd wrote the value.
set "REGTOOL=reg.exe"
if exist "%SystemRoot%\SysWOW64\reg.exe" set "REGTOOL=%SystemRoot%\SysWOW64\reg.exe"
set "RUNKEY=HKLM\Software\Microsoft\Windows\CurrentVersion\Run"

echo Halting every running instance of Tavrel.
"%KIT%Tavrel.exe" @@@HaltAll

rem Deleting a value that is not there fails too: what counts is that it
rem is gone afterwards.
"%REGTOOL%" delete "%RUNKEY%" /v Tavrel /f >nul 2>&1
"%REGTOOL%" query "%RUNKEY%" /v Tavrel >nul 2>&1
if not errorlevel 1 (
    echo Cannot remove the value "Tavrel" under %RUNKEY%. Run this script as administrator. 1>&2
    exit /b 1
)

call :remove Tavrel.exe
if errorlevel 1 exit /b 1
call :remove Brisolt.dll
if errorlevel 1 exit /b 1
rem Only empty folders are removed.
if exist "%TARGET%\" rd "%TARGET%" 2>nul
if defined VENDOR if exist "%VENDOR%\" rd "%VENDOR%" 2>nul
echo Tavrel is removed from "%TARGET%".
exit /b 0

rem Deletes one installed file. A halted instance can hold its program file
rem for a moment after the halt, so this is tried for up to ten seconds; del
rem itself does not tell whether it deleted anything.
:remove
set /a ATTEMPTS=0
:remove_again
if exist "%TARGET%\%~1" del /f /q "%TARGET%\%~1" >nul 2>&1
if not exist "%TARGET%\%~1" exit /b 0
set /a ATTEMPTS+=1
if %ATTEMPTS% geq 10 (
    echo Cannot delete "%TARGET%\%~1". 1>&2
    exit /b 1
)
ping -n 2 127.0.0.1 >nul
goto :remove_again
