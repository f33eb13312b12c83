// Translated VBScript run in a JavaScript engine with the runtime, grouped
// by construct: what the page's script did in the old browser, it does here.
#include <gtest/gtest.h>

#include "browser/vbscript/tests/js_harness.h"

namespace {

using Strings = std::vector<std::string>;

TEST(VbsDeclarations, DimConstAndArraysBecomePageGlobals) {
    CJsHarness h;
    h.Run(
        "Dim courseID, a(10), grid(2, 3)\n"
        "Const LIMIT = 5, NAME_ = \"x\"\n"
        "courseID = \"jsjyy01\"\n"
        "a(10) = LIMIT : grid(2, 3) = 7\n");
    EXPECT_EQ(h.Js("window.courseID"), "jsjyy01");
    EXPECT_EQ(h.Js("a.length"), "11");
    EXPECT_EQ(h.Vb("a(10) + grid(2, 3) & UBound(grid, 2) & IsEmpty(a(0))"), "123True");
    EXPECT_EQ(h.Vb("NAME_ & LIMIT"), "x5");
}

TEST(VbsDeclarations, ReDimPreserveEraseAndArrayCopies) {
    CJsHarness h;
    h.Run(
        "Dim a()\n"
        "ReDim a(2) : a(0) = \"p\" : a(2) = \"r\"\n"
        "ReDim Preserve a(4)\n"
        "b = a : b(0) = \"changed\"\n"
        "c = a : Erase c\n");
    EXPECT_EQ(h.Vb("UBound(a) & a(0) & a(2) & IsEmpty(a(4))"), "4prTrue");
    EXPECT_EQ(h.Vb("b(0) & UBound(c) & IsEmpty(c(0))"), "changed4True");
    EXPECT_EQ(h.Run("ReDim a(1) : x = a(0) & \"|\""), "");
    EXPECT_EQ(h.Vb("x"), "|");
}

TEST(VbsDeclarations, ReservedWordsAndBrowserNamesStillWork) {
    CJsHarness h;
    h.Run(
        "Dim delete, var, this, name, [my value]\n"
        "delete = 1 : var = 2 : this = 3 : name = \"n\" : [my value] = 4\n"
        "Function default(switch) : default = switch * 2 : End Function\n");
    EXPECT_EQ(h.Vb("delete + var + this + [my value] & name & default(5)"), "10n10");
}

TEST(VbsDeclarations, TopLevelNamesAreScriptDeclarations) {
    CVbsTranslation t = TranslateVbScript(
        "Dim courseID\nSub Go : End Sub\nFunction Twice(x) : Twice = 2 * x : End Function\n"
        "If ready Then Dim later");
    // Plain var and function declarations at the top: window members that
    // other frames reach.
    EXPECT_EQ(t.js.rfind("var courseID, later;\n", 0), 0u) << t.js;
    EXPECT_NE(t.js.find("\nfunction Go() {"), std::string::npos);
    EXPECT_NE(t.js.find("\nfunction Twice(x) {"), std::string::npos);
    // A handler's Dim stays inside the handler.
    CJsHarness h;
    h.RunHandler("Dim local : local = 1", "textField");
    EXPECT_EQ(h.Js("typeof local"), "undefined");
}

TEST(VbsDeclarations, NamesDeclaredFurtherDownAreKnownAbove) {
    CJsHarness h;
    h.Run(
        "Sub Show : shown = LIMIT & count : End Sub\n"
        "Show\n"
        "first = shown\n"
        "Dim shown, count\n"
        "Const LIMIT = 3\n"
        "count = 1 : Show\n");
    EXPECT_EQ(h.Vb("first & \"/\" & shown"), "3/31");
}

TEST(VbsProcedures, ParenthesesAfterASpace) {
    CJsHarness h;
    h.Run(
        "Dim a(3), got\n"
        "a (1) = 5\n"
        "Sub P(x, y) : got = x & \",\" & y : End Sub\n"
        "P (1) + 1, a(1)\n");
    EXPECT_EQ(h.Vb("got"), "2,5");
}

TEST(VbsProcedures, FunctionsReturnByNameAndExit) {
    CJsHarness h;
    h.Run(
        "Function Fact(n)\n"
        "  If n <= 1 Then Fact = 1 : Exit Function\n"
        "  Fact = n * Fact(n - 1)\n"
        "End Function\n"
        "Function Greeting : Greeting = \"hi\" : Greeting = Greeting & \"!\" : End Function\n"
        "Dim stored\n"
        "Sub Store(ByVal v, ByRef w) : stored = v & w : Exit Sub : stored = \"no\" : End Sub\n");
    EXPECT_EQ(h.Vb("Fact(5)"), "120");
    EXPECT_EQ(h.Vb("Greeting & Greeting()"), "hi!hi!");
    h.Run("Store 1, 2");
    EXPECT_EQ(h.Vb("stored"), "12");
    h.Run("Call Store(3, 4)");
    EXPECT_EQ(h.Vb("stored"), "34");
    h.Run("Store (5), 6");
    EXPECT_EQ(h.Vb("stored"), "56");
}

TEST(VbsProcedures, UndeclaredNamesAreLocalUnlessAGlobalExists) {
    CJsHarness h;
    h.Run(
        "Dim total\n"
        "Sub Inner : For i = 1 To 2 : total = total + 1 : Next : End Sub\n"
        "Sub Outer : For i = 1 To 3 : Inner : Next : End Sub\n"
        "Outer\n");
    // Inner's counter is its own: Outer still runs its three rounds.
    EXPECT_EQ(h.Vb("total"), "6");
    EXPECT_EQ(h.Js("typeof i"), "undefined");
    h.Run("shared = 1\nSub Bump : shared = shared + 1 : End Sub\nBump : Bump\n");
    EXPECT_EQ(h.Vb("shared"), "3");
}

TEST(VbsControlFlow, IfElseIfElseBlocks) {
    CJsHarness h;
    h.Run(
        "Function Grade(n)\n"
        "  If n >= 90 Then\n    Grade = \"A\"\n  ElseIf n >= 60 Then\n    Grade = \"B\"\n"
        "  Else\n    Grade = \"C\"\n  End If\n"
        "End Function\n");
    EXPECT_EQ(h.Vb("Grade(95) & Grade(60) & Grade(10)"), "ABC");
}

TEST(VbsControlFlow, ForLoopsStepBothWaysAndBoundsAreEvaluatedOnce) {
    CJsHarness h;
    h.Run(
        "s = \"\"\nFor i = 10 To 1 Step -3 : s = s & i & \",\" : Next\n"
        "n = 3 : k = 0\nFor j = 1 To n : n = 10 : k = k + 1 : Next\n"
        "For q = 1 To 0 : k = 100 : Next\n");
    EXPECT_EQ(h.Vb("s"), "10,7,4,1,");
    EXPECT_EQ(h.Vb("k & \"/\" & j"), "3/4");
}

TEST(VbsControlFlow, ForEachOverArraysAndCollections) {
    CJsHarness h;
    h.Run(
        "s = \"\"\nFor Each v In Array(1, 2, 3) : s = s & v : Next\n"
        "For Each e In document.Forms(0).Elements : s = s & \"|\" & e.Value : Next\n");
    EXPECT_EQ(h.Vb("s"), "123|hello|OK");
}

TEST(VbsControlFlow, DoWhileUntilAndWend) {
    CJsHarness h;
    h.Run(
        "a = 0 : Do While a < 3 : a = a + 1 : Loop\n"
        "b = 0 : Do : b = b + 1 : Loop Until b >= 5\n"
        "c = 10 : Do : c = c + 1 : Loop While c < 3\n"
        "d = 0 : Do Until d = 4 : d = d + 2 : Loop\n"
        "e = 0 : While e < 7 : e = e + 1 : Wend\n");
    EXPECT_EQ(h.Vb("a & b & c & d & e"), "351147");
}

TEST(VbsControlFlow, ExitLeavesTheInnermostLoopOfItsKind) {
    CJsHarness h;
    h.Run(
        "trace = \"\"\n"
        "For i = 1 To 3\n"
        "  Do\n"
        "    trace = trace & i\n"
        "    If i = 2 Then Exit For\n"
        "    Exit Do\n"
        "  Loop\n"
        "  Select Case i : Case 1 : trace = trace & \"a\" : End Select\n"
        "Next\n");
    EXPECT_EQ(h.Vb("trace"), "1a2");
}

TEST(VbsControlFlow, SelectCaseListsAndElse) {
    CJsHarness h;
    h.Run(
        "Function Kind(x)\n"
        "  Select Case LCase(x)\n"
        "    Case \"a\", \"e\", \"i\" : Kind = \"vowel\"\n"
        "    Case \"\"\n      Kind = \"empty\"\n"
        "    Case Else : Kind = \"other\"\n"
        "  End Select\n"
        "End Function\n");
    EXPECT_EQ(h.Vb("Kind(\"E\") & Kind(\"\") & Kind(\"z\")"), "vowelemptyother");
}

TEST(VbsOperators, ConcatenationAndVbScriptAddition) {
    CJsHarness h;
    EXPECT_EQ(h.Vb("\"a\" & Empty & Null & 1 & True"), "a1True");
    EXPECT_EQ(h.Vb("1 + 2 & \"|\" & \"1\" + \"2\" & \"|\" & \"1\" + 2 & \"|\" & Empty + 5"),
              "3|12|3|5");
    EXPECT_EQ(h.Vb("0.1 + 0.2"), "0.3");
    EXPECT_EQ(h.Run("On Error Resume Next : x = \"a\" + 1 : n = Err.Number"), "");
    EXPECT_EQ(h.Vb("n"), "13");
}

TEST(VbsOperators, ArithmeticAndPrecedence) {
    CJsHarness h;
    EXPECT_EQ(
        h.Vb("-2 ^ 2 & \" \" & 7 \\ 2 & \" \" & -7 \\ 2 & \" \" & 7 Mod 3 & \" \" & -7 Mod 3"),
        "-4 3 -3 1 -1");
    EXPECT_EQ(h.Vb("2 + 3 * 4 ^ 2 / 8 & \" \" & 2.5 \\ 1 & \" \" & 3.5 \\ 1 & \" \" & 10 / 4"),
              "8 2 4 2.5");
}

TEST(VbsOperators, ComparisonsAndLogic) {
    CJsHarness h;
    EXPECT_EQ(h.Vb("(1 = 1) & (\"10\" = 10) & (\"a\" < \"b\") & (2 <> 2) & (\"B\" > \"a\")"),
              "TrueTrueTrueFalseFalse");
    EXPECT_EQ(h.Vb("(True And 5) & \" \" & (6 And 3) & \" \" & (6 Or 3) & \" \" & (6 Xor 3) & \" "
                   "\" & Not 0"),
              "5 2 7 5 -1");
    EXPECT_EQ(h.Vb("(Not True) & (True Xor True) & (1 < 2 And Not 2 < 1) & CInt(True)"),
              "FalseFalseTrue-1");
    h.Run("Set o = Nothing : Set p = document");
    EXPECT_EQ(h.Vb("(o Is Nothing) & (p Is document) & (p Is Nothing)"), "TrueTrueFalse");
}

TEST(VbsOperators, NullPropagates) {
    CJsHarness h;
    EXPECT_EQ(
        h.Vb(
            "IsNull(Null + 1) & IsNull(Null & Null) & (Null & \"x\") & IsNull(-Null) & (Null = 1)"),
        "TrueTruexTrueFalse");
}

TEST(VbsNames, CaseIsIgnoredEverywhere) {
    CJsHarness h;
    h.Run(
        "DIM Total : total = 1\n"
        "SUB addIT(N) : TOTAL = toTal + n : END sub\n"
        "iF TOTAL = 1 tHEN\n  AddIt 2\neNd If\n");
    EXPECT_EQ(h.Vb("TOTAL & lEn(\"abc\") & (VBCRLF = Chr(13) & Chr(10))"), "33True");
    EXPECT_EQ(h.Vb("document.TITLE & DOCUMENT.forms(0).ELEMENTS(0).value"), "Lessonhello");
}

TEST(VbsNames, OtherBlocksAndHandlersSeeNamesInAnyCase) {
    CJsHarness h;
    h.Run(
        "Dim courseID : courseID = \"jsjyy01\"\nFunction Twice(x) : Twice = x * 2 : End "
        "Function\n");
    h.Run("COURSEID = CourseId & \"!\"\nr = twice(4)\n");
    EXPECT_EQ(h.Js("courseID"), "jsjyy01!");
    EXPECT_EQ(h.Vb("r"), "8");
    h.RunHandler("Result = TWICE(3) & CourseID", "textField");
    EXPECT_EQ(h.Vb("result"), "6jsjyy01!");
    // Another frame reaches the page's globals as window members.
    EXPECT_EQ(h.Vb("top.frames(0).COURSEID & parent.Frames(0).twice(1)"), "jsjyy01!2");
}

TEST(VbsNames, FramesWithTheirOwnRuntimeAnswerInAnyCase) {
    CJsHarness h;
    // Frame 1 is a window of its own whose page declared "Dim name".
    h.Engine().evaluate(QString::fromUtf8(
        ("var child = { length: 0 }; child.window = child; this[1] = child; this.length = 2;"
         "(function () {\n" +
         VbsRuntimeJs() +
         "\n}).call(child);"
         "child.$vbs.decl({ name: 'name$' }); child['name$'] = 'frame page'; child.name = 'Main';")
            .c_str()));
    EXPECT_EQ(h.Vb("top.Frames(1).NAME & \"|\" & top.frames(\"main\").Name"),
              "frame page|frame page");
}

TEST(VbsCollections, IndexesNamesAndMembersOfTheOldBrowser) {
    CJsHarness h;
    EXPECT_EQ(h.Vb("document.all(\"Text1\").Value & document.forms(\"form1\").elements(1).value"),
              "helloOK");
    EXPECT_EQ(h.Vb("document.Form1.Text1.Value & form1.TEXT1.value & Text1.value"),
              "hellohellohello");
    h.Run("document.forms(0).elements(\"text1\").value = \"set\" : document.Write \"<p>\"");
    EXPECT_EQ(h.Js("textField.value + document.written"), "set<p>");
    EXPECT_EQ(h.Vb("UpDate.GetCdDrive() & UpDate.getcddrive & UBound(Split(\"a b\"))"), "E:E:1");
    h.Run("With UpDate : .Drive = \"F:\" : d = .GetCdDrive : End With");
    EXPECT_EQ(h.Vb("d"), "F:");
}

TEST(VbsErrors, ResumeNextSkipsFailedStatementsAndFillsErr) {
    CJsHarness h;
    h.Run(
        "Dim reached\n"
        "Sub Fails : x = 1 / 0 : reached = True : End Sub\n"
        "On Error Resume Next\n"
        "Fails\n"
        "n = Err.Number : d = Err.Description\n"
        "Err.Clear : cleared = Err.Number\n"
        "Err.Raise 1234, \"me\", \"custom\"\n"
        "raised = Err.Number & Err.Description\n"
        "nothing.Foo\n"
        "missing = Err.Number\n");
    EXPECT_EQ(h.Vb("n & \" \" & d & \" \" & cleared & \" \" & raised & \" \" & IsEmpty(reached)"),
              "11 Division by zero 0 1234custom True");
    EXPECT_EQ(h.Vb("missing"), "424");
}

TEST(VbsErrors, HostFailuresHaveVbScriptNumbers) {
    CJsHarness h;
    h.Run(
        "On Error Resume Next\n"
        "UpDate.Missing 1 : a = Err.Number : Err.Clear\n"
        "Set o = Nothing : o.Value = 1 : b = Err.Number : Err.Clear\n"
        "c = Array(1, 2)(\"x\") : c = Err.Number\n");
    EXPECT_EQ(h.Vb("a & \" \" & b & \" \" & c"), "438 424 13");
}

TEST(VbsErrors, GoToZeroLetsErrorsStopTheBlock) {
    CJsHarness h;
    QJSValue result = h.Engine().evaluate(QString::fromUtf8(
        TranslateVbScript("On Error Resume Next\nx = 1 / 0\nOn Error GoTo 0\ny = 1 / 0\nz = 1")
            .js.c_str()));
    ASSERT_TRUE(result.isError());
    EXPECT_EQ(h.Js("result = $vbs.Err.Number + ':' + typeof z"), "0:undefined");
}

TEST(VbsDialogs, MsgBoxAndInputBoxReturnCodes) {
    CJsHarness h;
    h.Answer("true, false, true, false, 'typed', null");
    h.Run(
        "a = MsgBox(\"plain\")\n"
        "b = MsgBox(\"sure?\", vbYesNo + vbQuestion, \"T\")\n"
        "c = MsgBox(\"sure?\", vbYesNo)\n"
        "d = MsgBox(\"go\", vbOKCancel)\n"
        "e = MsgBox(\"again\", vbRetryCancel)\n"
        "f = InputBox(\"name?\") : g = InputBox(\"again?\")\n");
    EXPECT_EQ(h.Vb("a & b & c & d & e & \"|\" & f & \"|\" & g & \"|\""), "16712|typed||");
    EXPECT_EQ(h.Dialogs(), (Strings{"alert:plain", "confirm:sure?", "confirm:sure?", "confirm:go",
                                    "confirm:again", "prompt:name?", "prompt:again?"}));
}

TEST(VbsDialogs, TheBrowserCanProvideDialogsAndObjects) {
    CJsHarness h;
    h.Engine().evaluate(
        "$vbs.hostMsgBox = function (p, b, t) { dialogs.push('box:' + p + '/' + b + '/' + t); "
        "return 6; };"
        "$vbs.hostCreateObject = function (id) { return id === 'Corvane.Ctrl' ? { Version: 7 } : "
        "null; };");
    h.Run(
        "Dim inited\nSub Init : inited = True : End Sub\n"
        "Set c = CreateObject(\"Corvane.Ctrl\") : v = c.version\n"
        "r = MsgBox(\"q\", vbYesNo, \"T\")\n"
        "Set window.onload = GetRef(\"init\")\n");
    h.Engine().evaluate("window.onload()");
    EXPECT_EQ(h.Vb("v & r & inited & TypeName(document.forms(0).elements(0))"), "76TrueElement");
    EXPECT_EQ(h.Dialogs(), (Strings{"box:q/4/T"}));
}

TEST(VbsOneLineIf, ThenElseAndSeveralStatements) {
    CJsHarness h;
    h.Run(
        "x = 5\n"
        "If x > 3 Then a = 1 : b = 2 Else a = 3 : b = 4\n"
        "If x > 9 Then c = 1 Else c = 2 : d = 3\n"
        "If x = 5 Then If x < 0 Then e = 1 Else e = 2\n"
        "If x = 5 Then f = 6 ' comment\n");
    EXPECT_EQ(h.Vb("a & b & c & d & e & f"), "122326");
}

TEST(VbsSyntax, NumberAndDateLiterals) {
    CJsHarness h;
    EXPECT_EQ(h.Vb("&HFFFF & \" \" & &HFFFF& & \" \" & &O17 & \" \" & &17 & \" \" & 1.5E3 & \" \" "
                   "& .5 & \" \" & &H7FFFFFFF"),
              "-1 65535 15 15 1500 0.5 2147483647");
    EXPECT_EQ(h.Vb("#2003-5-6# & \" \" & #12/31/1999 23:59:59# & \" \" & #10:30 PM#"),
              "2003-5-6 1999-12-31 23:59:59 22:30:00");
    // Spaces pasted from Chinese text separate words like ASCII ones.
    EXPECT_EQ(h.Vb(Utf8(u8"1\u3000+\u00a02")), "3");
}

TEST(VbsSyntax, ContinuationsCommentsAndHtmlCommentMarkers) {
    CJsHarness h;
    h.Run(
        "<!--\n"
        "s = \"a\" & _\n"
        "    \"b\" & _   \n"
        "    \"c\"  ' the rest\n"
        "REM a remark\n"
        "t = \"it's\" : rem another\n"
        "'-->\n");
    EXPECT_EQ(h.Vb("s & t"), "abcit's");
    EXPECT_TRUE(h.Warnings().empty());
}

TEST(VbsHandlers, StatementListsRunWithMeAsTheElement) {
    CJsHarness h;
    h.Run("Dim shown\nSub Show(x) : shown = x : End Sub");
    h.RunHandler("Show Me.value & \"!\" : Me.Value = \"clicked\"", "textField");
    EXPECT_EQ(h.Vb("shown"), "hello!");
    EXPECT_EQ(h.Js("textField.value"), "clicked");
    h.RunHandler("window.event.returnValue = False : Exit Sub : shown = 1", "textField");
    EXPECT_EQ(h.Vb("shown"), "hello!");
}

TEST(VbsHandlers, TimersNamingAProcedureCallIt) {
    CJsHarness h;
    h.Run(
        "Dim ticks\nSub Tick : ticks = ticks + 1 : End Sub\nsetTimeout \"Tick\", 100, "
        "\"VBScript\"\n"
        "window.setTimeout \"tick()\", 100");
    EXPECT_EQ(h.Vb("ticks"), "2");
}

TEST(VbsHandlers, ElementAndWindowSubsAreBound) {
    CJsHarness h;
    h.Run(
        "Dim clicks, loaded\n"
        "Sub Button1_OnClick : clicks = clicks + 1 : End Sub\n"
        "Function Text1_OnChange : Text1_OnChange = False : End Function\n"
        "Sub Window_OnLoad : loaded = True : End Sub\n"
        "Sub Helper_Routine : End Sub\n");
    h.Engine().evaluate("buttonField.fire('click'); buttonField.fire('click');");
    EXPECT_EQ(h.Vb("clicks & loaded"), "2True");
    EXPECT_EQ(h.Js("textField.fire('change')"), "true");  // returning False cancels
}

}  // namespace
