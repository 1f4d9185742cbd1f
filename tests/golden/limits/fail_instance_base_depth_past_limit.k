// Every compile stops at the missing entry; only the past-limit case reports the depth.
// Resolving an instance's base instantiates the base within it, so a chain
// of instance bases nests as declared bodies do: the root is level 1, U
// level 2, T0<int> level 3 (its body too, declared once its base is
// there), T1<int> level 4; the body of T253<int> is level 256.
class U { // expect warning 324: 已定义但不使用的对象.
    T0<int> start;
};
class T0<X> : T1<X> {
};
class T1<X> : T2<X> {
};
class T2<X> : T3<X> {
};
class T3<X> : T4<X> {
};
class T4<X> : T5<X> {
};
class T5<X> : T6<X> {
};
class T6<X> : T7<X> {
};
class T7<X> : T8<X> {
};
class T8<X> : T9<X> {
};
class T9<X> : T10<X> {
};
class T10<X> : T11<X> {
};
class T11<X> : T12<X> {
};
class T12<X> : T13<X> {
};
class T13<X> : T14<X> {
};
class T14<X> : T15<X> {
};
class T15<X> : T16<X> {
};
class T16<X> : T17<X> {
};
class T17<X> : T18<X> {
};
class T18<X> : T19<X> {
};
class T19<X> : T20<X> {
};
class T20<X> : T21<X> {
};
class T21<X> : T22<X> {
};
class T22<X> : T23<X> {
};
class T23<X> : T24<X> {
};
class T24<X> : T25<X> {
};
class T25<X> : T26<X> {
};
class T26<X> : T27<X> {
};
class T27<X> : T28<X> {
};
class T28<X> : T29<X> {
};
class T29<X> : T30<X> {
};
class T30<X> : T31<X> {
};
class T31<X> : T32<X> {
};
class T32<X> : T33<X> {
};
class T33<X> : T34<X> {
};
class T34<X> : T35<X> {
};
class T35<X> : T36<X> {
};
class T36<X> : T37<X> {
};
class T37<X> : T38<X> {
};
class T38<X> : T39<X> {
};
class T39<X> : T40<X> {
};
class T40<X> : T41<X> {
};
class T41<X> : T42<X> {
};
class T42<X> : T43<X> {
};
class T43<X> : T44<X> {
};
class T44<X> : T45<X> {
};
class T45<X> : T46<X> {
};
class T46<X> : T47<X> {
};
class T47<X> : T48<X> {
};
class T48<X> : T49<X> {
};
class T49<X> : T50<X> {
};
class T50<X> : T51<X> {
};
class T51<X> : T52<X> {
};
class T52<X> : T53<X> {
};
class T53<X> : T54<X> {
};
class T54<X> : T55<X> {
};
class T55<X> : T56<X> {
};
class T56<X> : T57<X> {
};
class T57<X> : T58<X> {
};
class T58<X> : T59<X> {
};
class T59<X> : T60<X> {
};
class T60<X> : T61<X> {
};
class T61<X> : T62<X> {
};
class T62<X> : T63<X> {
};
class T63<X> : T64<X> {
};
class T64<X> : T65<X> {
};
class T65<X> : T66<X> {
};
class T66<X> : T67<X> {
};
class T67<X> : T68<X> {
};
class T68<X> : T69<X> {
};
class T69<X> : T70<X> {
};
class T70<X> : T71<X> {
};
class T71<X> : T72<X> {
};
class T72<X> : T73<X> {
};
class T73<X> : T74<X> {
};
class T74<X> : T75<X> {
};
class T75<X> : T76<X> {
};
class T76<X> : T77<X> {
};
class T77<X> : T78<X> {
};
class T78<X> : T79<X> {
};
class T79<X> : T80<X> {
};
class T80<X> : T81<X> {
};
class T81<X> : T82<X> {
};
class T82<X> : T83<X> {
};
class T83<X> : T84<X> {
};
class T84<X> : T85<X> {
};
class T85<X> : T86<X> {
};
class T86<X> : T87<X> {
};
class T87<X> : T88<X> {
};
class T88<X> : T89<X> {
};
class T89<X> : T90<X> {
};
class T90<X> : T91<X> {
};
class T91<X> : T92<X> {
};
class T92<X> : T93<X> {
};
class T93<X> : T94<X> {
};
class T94<X> : T95<X> {
};
class T95<X> : T96<X> {
};
class T96<X> : T97<X> {
};
class T97<X> : T98<X> {
};
class T98<X> : T99<X> {
};
class T99<X> : T100<X> {
};
class T100<X> : T101<X> {
};
class T101<X> : T102<X> {
};
class T102<X> : T103<X> {
};
class T103<X> : T104<X> {
};
class T104<X> : T105<X> {
};
class T105<X> : T106<X> {
};
class T106<X> : T107<X> {
};
class T107<X> : T108<X> {
};
class T108<X> : T109<X> {
};
class T109<X> : T110<X> {
};
class T110<X> : T111<X> {
};
class T111<X> : T112<X> {
};
class T112<X> : T113<X> {
};
class T113<X> : T114<X> {
};
class T114<X> : T115<X> {
};
class T115<X> : T116<X> {
};
class T116<X> : T117<X> {
};
class T117<X> : T118<X> {
};
class T118<X> : T119<X> {
};
class T119<X> : T120<X> {
};
class T120<X> : T121<X> {
};
class T121<X> : T122<X> {
};
class T122<X> : T123<X> {
};
class T123<X> : T124<X> {
};
class T124<X> : T125<X> {
};
class T125<X> : T126<X> {
};
class T126<X> : T127<X> {
};
class T127<X> : T128<X> {
};
class T128<X> : T129<X> {
};
class T129<X> : T130<X> {
};
class T130<X> : T131<X> {
};
class T131<X> : T132<X> {
};
class T132<X> : T133<X> {
};
class T133<X> : T134<X> {
};
class T134<X> : T135<X> {
};
class T135<X> : T136<X> {
};
class T136<X> : T137<X> {
};
class T137<X> : T138<X> {
};
class T138<X> : T139<X> {
};
class T139<X> : T140<X> {
};
class T140<X> : T141<X> {
};
class T141<X> : T142<X> {
};
class T142<X> : T143<X> {
};
class T143<X> : T144<X> {
};
class T144<X> : T145<X> {
};
class T145<X> : T146<X> {
};
class T146<X> : T147<X> {
};
class T147<X> : T148<X> {
};
class T148<X> : T149<X> {
};
class T149<X> : T150<X> {
};
class T150<X> : T151<X> {
};
class T151<X> : T152<X> {
};
class T152<X> : T153<X> {
};
class T153<X> : T154<X> {
};
class T154<X> : T155<X> {
};
class T155<X> : T156<X> {
};
class T156<X> : T157<X> {
};
class T157<X> : T158<X> {
};
class T158<X> : T159<X> {
};
class T159<X> : T160<X> {
};
class T160<X> : T161<X> {
};
class T161<X> : T162<X> {
};
class T162<X> : T163<X> {
};
class T163<X> : T164<X> {
};
class T164<X> : T165<X> {
};
class T165<X> : T166<X> {
};
class T166<X> : T167<X> {
};
class T167<X> : T168<X> {
};
class T168<X> : T169<X> {
};
class T169<X> : T170<X> {
};
class T170<X> : T171<X> {
};
class T171<X> : T172<X> {
};
class T172<X> : T173<X> {
};
class T173<X> : T174<X> {
};
class T174<X> : T175<X> {
};
class T175<X> : T176<X> {
};
class T176<X> : T177<X> {
};
class T177<X> : T178<X> {
};
class T178<X> : T179<X> {
};
class T179<X> : T180<X> {
};
class T180<X> : T181<X> {
};
class T181<X> : T182<X> {
};
class T182<X> : T183<X> {
};
class T183<X> : T184<X> {
};
class T184<X> : T185<X> {
};
class T185<X> : T186<X> {
};
class T186<X> : T187<X> {
};
class T187<X> : T188<X> {
};
class T188<X> : T189<X> {
};
class T189<X> : T190<X> {
};
class T190<X> : T191<X> {
};
class T191<X> : T192<X> {
};
class T192<X> : T193<X> {
};
class T193<X> : T194<X> {
};
class T194<X> : T195<X> {
};
class T195<X> : T196<X> {
};
class T196<X> : T197<X> {
};
class T197<X> : T198<X> {
};
class T198<X> : T199<X> {
};
class T199<X> : T200<X> {
};
class T200<X> : T201<X> {
};
class T201<X> : T202<X> {
};
class T202<X> : T203<X> {
};
class T203<X> : T204<X> {
};
class T204<X> : T205<X> {
};
class T205<X> : T206<X> {
};
class T206<X> : T207<X> {
};
class T207<X> : T208<X> {
};
class T208<X> : T209<X> {
};
class T209<X> : T210<X> {
};
class T210<X> : T211<X> {
};
class T211<X> : T212<X> {
};
class T212<X> : T213<X> {
};
class T213<X> : T214<X> {
};
class T214<X> : T215<X> {
};
class T215<X> : T216<X> {
};
class T216<X> : T217<X> {
};
class T217<X> : T218<X> {
};
class T218<X> : T219<X> {
};
class T219<X> : T220<X> {
};
class T220<X> : T221<X> {
};
class T221<X> : T222<X> {
};
class T222<X> : T223<X> {
};
class T223<X> : T224<X> {
};
class T224<X> : T225<X> {
};
class T225<X> : T226<X> {
};
class T226<X> : T227<X> {
};
class T227<X> : T228<X> {
};
class T228<X> : T229<X> {
};
class T229<X> : T230<X> {
};
class T230<X> : T231<X> {
};
class T231<X> : T232<X> {
};
class T232<X> : T233<X> {
};
class T233<X> : T234<X> {
};
class T234<X> : T235<X> {
};
class T235<X> : T236<X> {
};
class T236<X> : T237<X> {
};
class T237<X> : T238<X> {
};
class T238<X> : T239<X> {
};
class T239<X> : T240<X> {
};
class T240<X> : T241<X> {
};
class T241<X> : T242<X> {
};
class T242<X> : T243<X> {
};
class T243<X> : T244<X> {
};
class T244<X> : T245<X> {
};
class T245<X> : T246<X> {
};
class T246<X> : T247<X> {
};
class T247<X> : T248<X> {
};
class T248<X> : T249<X> {
};
class T249<X> : T250<X> {
};
class T250<X> : T251<X> {
};
class T251<X> : T252<X> {
};
class T252<X> : T253<X> {
};
class T253<X> {
    X last; // expect error: 展开过大,编译器堆栈空间不足.
};
