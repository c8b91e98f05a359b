@echo off
rem velto1's install for deployment tools (Intune, Configuration Manager, PDQ
rem Deploy, a Group Policy startup script), run as SYSTEM or as an
rem administrator: puts the velto1cli.exe beside it into the Program Files
rem folder of its architecture, then updates every attached device, one log
rem line per device in LOGFOLDER\velto1.log. A PC where nothing waits (every
rem device updated, other products only, no device) is left as it is, with
rem no log line, so that a script run at every boot does not grow the log.
rem
rem   install.cmd [LOGFOLDER]
rem
rem LOGFOLDER: by default Intune's Logs folder where the Intune Management
rem Extension is installed (its "Collect diagnostics" takes it), else
rem %SystemRoot%\Logs\velto1.
rem
rem Exit codes: velto1cli's (docs\deploying.md), but no device (11) and other
rem products only (12) are success (0); and its own, before any device is
rem touched:
rem   40  no velto1cli.exe beside install.cmd, or it did not say its build
rem   41  the x64 build on 32-bit Windows
rem   42  the install folder is there, but this script did not make it
rem   43  the install folder could not be made
rem   44  the program could not be copied
rem   45  the log folder could not be made
setlocal EnableExtensions DisableDelayedExpansion
set "source=%~dp0velto1cli.exe"
if not exist "%source%" exit /b 40
set "arch="
rem "call" first: cmd /c would take the quotes off a path with parentheses in it
rem (Program Files (x86)).
for /f "tokens=3" %%a in ('call "%source%" --version') do set "arch=%%a"
if "%arch%"=="x86" goto x86
if "%arch%"=="x64" goto x64
exit /b 40

:x86
set "base=%ProgramFiles%"
if defined ProgramFiles(x86) set "base=%ProgramFiles(x86)%"
goto install
:x64
if not defined ProgramW6432 exit /b 41
set "base=%ProgramW6432%"

:install
rem Only administrators can make or change a folder here. One that is already
rem there without this script's mark was made by someone else: what it holds
rem is not run.
set "target=%base%\velto1"
set "mark=%target%\made-by-velto1-install.txt"
if exist "%target%\" if not exist "%mark%" exit /b 42
if not exist "%target%\" mkdir "%target%" 2>nul
if not exist "%target%\" exit /b 43
if exist "%mark%" goto marked
>"%mark%" echo made by velto1's install.cmd, which replaces velto1cli.exe here
if not exist "%mark%" exit /b 43
:marked
copy /y /b "%source%" "%target%\velto1cli.exe" >nul 2>&1
if errorlevel 1 exit /b 44
set "cli=%target%\velto1cli.exe"

set "logs=%~1"
if defined logs goto logs
set "logs=%SystemRoot%\Logs\velto1"
if defined ProgramFiles(x86) if exist "%ProgramFiles(x86)%\Microsoft Intune Management Extension\" set "logs=%ProgramData%\Microsoft\IntuneManagementExtension\Logs"
if exist "%ProgramFiles%\Microsoft Intune Management Extension\" set "logs=%ProgramData%\Microsoft\IntuneManagementExtension\Logs"
:logs
if not exist "%logs%\" mkdir "%logs%" 2>nul
if not exist "%logs%\" exit /b 45

rem detect prints a line per device only when nothing waits.
for /f "delims=" %%l in ('call "%cli%" detect') do exit /b 0
"%cli%" update --all --log "%logs%\velto1.log"
set "code=%errorlevel%"
if "%code%"=="11" exit /b 0
if "%code%"=="12" exit /b 0
exit /b %code%
